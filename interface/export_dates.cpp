// The exported date conversions.
#include "dates/calendar.h"
#include "interface/morvik.h"

extern "C" MORVIK_API int MORVIK_CALL CdrD2ExcD(int CalendarDate) {
  return morvik::CalendarToSerial(CalendarDate);
}

extern "C" MORVIK_API int MORVIK_CALL ExcD2CdrD(int SerialDate) {
  return morvik::SerialToCalendar(SerialDate);
}

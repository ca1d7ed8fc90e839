// Typed access to term-sheet fields, with errors that name the field.
#include "termsheet/json_fields.h"

#include <limits>

#include "termsheet/term_dates.h"

namespace morvik::sheet {

void Fail(const std::string& path, const std::string& message) { throw FieldError{{path, message}}; }

std::string Key(const std::string& path, const char* key) {
  return path.empty() ? std::string(key) : path + "." + key;
}

std::string At(const std::string& path, std::size_t i) { return path + "[" + std::to_string(i) + "]"; }

void CheckKeys(const Json& obj, const std::string& path, std::initializer_list<const char*> known) {
  for (auto it = obj.begin(); it != obj.end(); ++it) {
    const std::string& k = it.key();
    if (!k.empty() && k[0] == '_') continue;
    bool ok = false;
    for (const char* name : known) {
      if (k == name) {
        ok = true;
        break;
      }
    }
    if (!ok) Fail(path.empty() ? k : path + "." + k, "unknown field");
  }
}

const Json& Object(const Json& v, const std::string& path) {
  if (!v.is_object()) Fail(path, "expected an object");
  return v;
}

const Json& Array(const Json& v, const std::string& path) {
  if (!v.is_array()) Fail(path, "expected an array");
  return v;
}

const Json* Find(const Json& obj, const char* key) {
  auto it = obj.find(key);
  if (it == obj.end() || it->is_null()) return nullptr;
  return &*it;
}

const Json& Require(const Json& obj, const std::string& path, const char* key) {
  const Json* v = Find(obj, key);
  if (v == nullptr) Fail(Key(path, key), "missing");
  return *v;
}

double Number(const Json& v, const std::string& path) {
  if (!v.is_number()) Fail(path, "expected a number");
  return v.get<double>();
}

int Integer(const Json& v, const std::string& path) {
  if (v.is_number_integer()) {
    const auto wide = v.get<long long>();
    if (wide >= std::numeric_limits<int>::min() && wide <= std::numeric_limits<int>::max()) {
      return static_cast<int>(wide);
    }
  }
  Fail(path, "expected a whole number");
}

long long WholeNumber(const Json& v, const std::string& path, long long lo, long long hi) {
  const std::string range = "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi);
  if (v.is_number_unsigned()) {
    const auto u = v.get<unsigned long long>();
    if (u <= static_cast<unsigned long long>(hi) && static_cast<long long>(u) >= lo) return static_cast<long long>(u);
  } else if (v.is_number_integer()) {
    const auto n = v.get<long long>();
    if (n >= lo && n <= hi) return n;
  }
  Fail(path, range + ", got " + v.dump());
}

int Date(const Json& v, const std::string& path) {
  if (!v.is_string()) Fail(path, "expected a date as \"YYYY-MM-DD\" (a string), got " + v.dump());
  int d = 0;
  std::string why;
  if (!ReadIsoDate(v.get<std::string>(), d, why)) Fail(path, why);
  return d;
}

int Flag(const Json& v, const std::string& path) {
  if (v.is_boolean()) return v.get<bool>() ? 1 : 0;
  if (v.is_number_integer()) {
    const auto n = v.get<long long>();
    if (n == 0 || n == 1) return static_cast<int>(n);
  }
  Fail(path, "expected true or false");
}

std::string Text(const Json& v, const std::string& path) {
  if (!v.is_string()) Fail(path, "expected a string");
  return v.get<std::string>();
}

int Choice(const Json& v, const std::string& path, std::initializer_list<std::pair<const char*, int>> options) {
  std::string expected = "expected one of";
  const char* sep = " ";
  for (const auto& o : options) {
    expected += sep;
    expected += "\"";
    expected += o.first;
    expected += "\"";
    sep = ", ";
  }
  if (!v.is_string()) Fail(path, expected);
  const std::string s = v.get<std::string>();
  for (const auto& o : options) {
    if (s == o.first) return o.second;
  }
  Fail(path, expected);
}

std::vector<double> Numbers(const Json& v, const std::string& path) {
  Array(v, path);
  std::vector<double> out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out.push_back(Number(v[i], At(path, i)));
  return out;
}

std::vector<int> Integers(const Json& v, const std::string& path) {
  Array(v, path);
  std::vector<int> out;
  out.reserve(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out.push_back(Integer(v[i], At(path, i)));
  return out;
}

void CheckSize(const Json& v, const std::string& path, std::size_t n, const char* what) {
  if (v.size() != n) {
    Fail(path, "expected " + std::to_string(n) + " " + (n == 1 ? "value" : "values") + ", " + what + ", got " +
                   std::to_string(v.size()));
  }
}

std::vector<double> PerUnderlying(const Json& v, const std::string& path, int nStock) {
  if (v.is_number()) return std::vector<double>(static_cast<std::size_t>(nStock), v.get<double>());
  if (!v.is_array()) Fail(path, "expected a number or one number per underlying");
  CheckSize(v, path, static_cast<std::size_t>(nStock), "one per underlying");
  return Numbers(v, path);
}

}  // namespace morvik::sheet

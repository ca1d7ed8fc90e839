// Typed access to the fields of a JSON term sheet. Each accessor takes the
// field's path ("redemption[2].payment") and raises a FieldError that names
// it when the field is missing or not of the expected kind.
#pragma once

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "termsheet/json_text.h"

namespace morvik::sheet {

// What is wrong, or suspicious, with a field: its path and a sentence.
struct FieldIssue {
  std::string path;
  std::string message;
};

// A field that cannot be used, raised by the accessors.
struct FieldError : FieldIssue {};

[[noreturn]] void Fail(const std::string& path, const std::string& message);

// "path.key" ("key" at the top level) and "path[i]".
std::string Key(const std::string& path, const char* key);
std::string At(const std::string& path, std::size_t i);

// Rejects members the format does not know; "_..." keys are comments.
void CheckKeys(const Json& obj, const std::string& path, std::initializer_list<const char*> known);

const Json& Object(const Json& v, const std::string& path);
const Json& Array(const Json& v, const std::string& path);

// A present, non-null member, or nullptr.
const Json* Find(const Json& obj, const char* key);
const Json& Require(const Json& obj, const std::string& path, const char* key);

double Number(const Json& v, const std::string& path);
int Integer(const Json& v, const std::string& path);
// A whole number from lo to hi.
long long WholeNumber(const Json& v, const std::string& path, long long lo, long long hi);
int Date(const Json& v, const std::string& path);
// true/false, or 0/1 as written in booking systems.
int Flag(const Json& v, const std::string& path);
std::string Text(const Json& v, const std::string& path);
// One of a fixed set of words, each standing for a flag value.
int Choice(const Json& v, const std::string& path, std::initializer_list<std::pair<const char*, int>> options);
std::vector<double> Numbers(const Json& v, const std::string& path);
std::vector<int> Integers(const Json& v, const std::string& path);
// `what` names one element ("one per tenor").
void CheckSize(const Json& v, const std::string& path, std::size_t n, const char* what);
// One value for every underlying: a single number for all, or a list.
std::vector<double> PerUnderlying(const Json& v, const std::string& path, int nStock);

}  // namespace morvik::sheet

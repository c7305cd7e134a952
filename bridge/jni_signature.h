// What the bridge needs to know about a method to read its arguments from a
// Windows variable argument list: one letter per parameter.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace runvo::bridge {

// The parameter kinds of a JNI method descriptor such as
// "(ILjava/lang/String;[J)V": one of Z B C S I J F D per primitive parameter
// and L for every reference, objects and arrays alike ("ILL" for that one).
// None for a descriptor that is not well formed.
std::optional<std::string> parameterKinds(std::string_view descriptor);

}  // namespace runvo::bridge

namespace runvo::bridge {

// The kind letter of a parameter type named as Class.getName() names it:
// "int" is I, "long" J, ..., and any class or array name L.
char kindOfTypeName(std::string_view typeName);

}  // namespace runvo::bridge

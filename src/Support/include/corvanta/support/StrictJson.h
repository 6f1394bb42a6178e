#pragma once

#include <concepts>
#include <functional>
#include <limits>
#include <optional>
#include <span>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace corvanta::json {

using Value = nlohmann::json;

// A JSON value that does not have the expected type or range. `path` names the offending key.
class DecodeError : public std::runtime_error {
  public:
    DecodeError(std::string path, const std::string& problem)
        : std::runtime_error(path + ": " + problem), path_(std::move(path)) {}
    const std::string& path() const { return path_; }

  private:
    std::string path_;
};

namespace detail {

template <typename T>
T convert(const Value& value, std::string_view path) {
    const std::string where(path);
    if constexpr (std::same_as<T, bool>) {
        if (!value.is_boolean()) throw DecodeError(where, "expected a boolean");
        return value.get<bool>();
    } else if constexpr (std::integral<T>) {
        // nlohmann's own get<uint8_t>() of 300 silently wraps; every integer is range-checked here.
        if (value.is_number_unsigned()) {
            const auto v = value.get<std::uint64_t>();
            if (v > static_cast<std::uint64_t>(std::numeric_limits<T>::max())) {
                throw DecodeError(where, "integer out of range");
            }
            return static_cast<T>(v);
        }
        if (value.is_number_integer()) {
            const auto v = value.get<std::int64_t>();
            if constexpr (std::is_unsigned_v<T>) {
                if (v < 0) throw DecodeError(where, "integer out of range");
                if (static_cast<std::uint64_t>(v) > std::numeric_limits<T>::max()) {
                    throw DecodeError(where, "integer out of range");
                }
            } else {
                if (v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max()) {
                    throw DecodeError(where, "integer out of range");
                }
            }
            return static_cast<T>(v);
        }
        throw DecodeError(where, "expected an integer");
    } else if constexpr (std::floating_point<T>) {
        if (!value.is_number()) throw DecodeError(where, "expected a number");
        return value.get<T>();
    } else if constexpr (std::same_as<T, std::string>) {
        if (!value.is_string()) throw DecodeError(where, "expected a string");
        return value.get<std::string>();
    } else if constexpr (std::same_as<T, Value>) {
        return value;
    } else {
        static_assert(sizeof(T) == 0, "unsupported JSON target type");
    }
}

inline const Value* member(const Value& object, std::string_view key, std::string_view path) {
    if (!object.is_object()) throw DecodeError(std::string(path), "expected an object");
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return nullptr;
    return &*found;
}

inline std::string join(std::string_view path, std::string_view key) {
    return path.empty() ? std::string(key) : std::string(path) + "." + std::string(key);
}

}  // namespace detail

// The value itself, checked for type and range.
template <typename T>
T as(const Value& value, std::string_view path = "value") {
    return detail::convert<T>(value, path);
}

// A key that must be present and not null.
template <typename T>
T required(const Value& object, std::string_view key, std::string_view path = "") {
    const Value* found = detail::member(object, key, path);
    if (found == nullptr) throw DecodeError(detail::join(path, key), "missing");
    return detail::convert<T>(*found, detail::join(path, key));
}

// A key that may be absent; a key present as null reads as absent.
template <typename T>
std::optional<T> optional(const Value& object, std::string_view key, std::string_view path = "") {
    const Value* found = detail::member(object, key, path);
    if (found == nullptr) return std::nullopt;
    return detail::convert<T>(*found, detail::join(path, key));
}

// A key that may be absent, moved out of `object` rather than copied (a large result leaves its
// envelope without a second copy); a key present as null reads as absent.
std::optional<Value> take(Value& object, std::string_view key, std::string_view path = "");

// A member that must be present and not null, by reference: what a decoder walks without copying.
const Value& field(const Value& object, std::string_view key, std::string_view path = "");

// Containers nested deeper than this are refused by parse(). Nothing the node or our own files
// hold comes near it, and it keeps every later recursion over a parsed value (copies, compares,
// dumps) far from the end of the stack.
inline constexpr int maxDepth = 64;

// Parses text as JSON in time and memory in proportion to its length; throws DecodeError("json",
// ...) on malformed input, on a number no double can hold (1e400), on nesting deeper than
// maxDepth and on a key given twice in one object. No other exception leaves it.
Value parse(std::string_view text);

// The object keys from the outermost value down to a member, its own key last; array levels add
// none ({"a":[{"b":1}]} holds b at a.b).
using KeyPath = std::span<const std::string_view>;
using KeepMember = std::function<bool(KeyPath)>;

// As parse(), keeping only the members for which `keep` holds; a member left out takes all it
// holds with it and costs no memory. For a large text of which a decoder reads a few keys.
Value parse(std::string_view text, const KeepMember& keep);

// Reads text that must be a JSON array, handing each element to `each` as soon as it is complete:
// however long the array, one element is held at a time. Refuses as parse() does, and throws
// DecodeError(what, "expected an array") for any other value. Anything `each` throws leaves as it
// is; Cancelled once `stop` is requested, between two elements.
void forEachElement(std::string_view text, std::string_view what,
                    const std::function<void(Value&&)>& each, std::stop_token stop = {});

// Serializes with sorted keys (nlohmann keeps object keys sorted) and the given indent.
std::string dump(const Value& value, int indent = -1);

}  // namespace corvanta::json

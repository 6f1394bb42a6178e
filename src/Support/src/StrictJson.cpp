#include "corvanta/support/StrictJson.h"

#include <string>
#include <utility>
#include <vector>

#include "corvanta/support/Cancelled.h"

namespace corvanta::json {
namespace {

// Builds values from the parser's events in one pass over the text. nlohmann's own builder with a
// callback looks the parent array over again after each element it closes, which makes a long
// array cost the square of its length; this one touches each value once. It also enforces what
// every caller relies on: no nesting deeper than maxDepth, no key twice in one object (which of
// two values a reader takes is each reader's own guess), members a filter leaves out never kept,
// and, for a top-level array read element by element, one element held at a time.
class Builder {
  public:
    using Sax = nlohmann::json_sax<Value>;

    Builder(const KeepMember* keep, const std::function<void(Value&&)>* each, std::string_view what,
            std::stop_token stop)
        : keep_(keep), each_(each), what_(what), stop_(std::move(stop)) {}

    Value result() { return std::move(root_); }

    bool null() { return scalar(Value(nullptr)); }
    bool boolean(bool value) { return scalar(Value(value)); }
    bool number_integer(Value::number_integer_t value) { return scalar(Value(value)); }
    bool number_unsigned(Value::number_unsigned_t value) { return scalar(Value(value)); }
    bool number_float(Value::number_float_t value, const Value::string_t&) {
        return scalar(Value(value));
    }
    bool string(Value::string_t& value) { return scalar(Value(std::move(value))); }
    bool binary(Value::binary_t& value) { return scalar(Value::binary(std::move(value))); }

    bool start_object(std::size_t) { return open(Value::object(), false); }
    bool start_array(std::size_t) { return open(Value::array(), true); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }

    bool key(Value::string_t& name) {
        if (skipping_ > 0) return true;
        Level& level = levels_.back();
        level.key = name;
        if (keep_ != nullptr && !(*keep_)(keysTo())) {
            skipNext_ = true;
            return true;
        }
        Value& object = *level.value;
        if (object.contains(name)) {
            throw DecodeError("json", "the key \"" + name + "\" appears twice in one object");
        }
        slot_ = &object[std::move(name)];
        return true;
    }

    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& error) {
        // A syntax error, and out_of_range for a number too large for a double.
        throw DecodeError("json", error.what());
    }

  private:
    struct Level {
        Value* value = nullptr;  // null while the level is being skipped
        bool isArray = false;
        std::string key;
    };

    bool streaming() const { return each_ != nullptr; }

    // Where a new value goes: the root, the end of the open array, or the member just keyed.
    Value* place(Value&& value) {
        if (levels_.empty()) {
            if (streaming() && !value.is_array()) {
                throw DecodeError(std::string(what_), "expected an array");
            }
            root_ = std::move(value);
            return &root_;
        }
        Value& parent = *levels_.back().value;
        if (parent.is_array()) {
            if (streaming() && levels_.size() == 1) {
                element_ = std::move(value);
                return &element_;
            }
            parent.push_back(std::move(value));
            return &parent.back();
        }
        *slot_ = std::move(value);
        return slot_;
    }

    // An element of the streamed array is complete: it leaves before the next one is read.
    void deliver() {
        if (stop_.stop_requested()) throw Cancelled();
        (*each_)(std::move(element_));
        element_ = Value();
    }

    bool scalar(Value&& value) {
        if (skipping_ > 0) return true;
        if (std::exchange(skipNext_, false)) return true;
        place(std::move(value));
        if (streaming() && levels_.size() == 1) deliver();
        return true;
    }

    bool open(Value&& empty, bool isArray) {
        // Checked as each container opens, so nothing deeper than the limit ever exists.
        if (++depth_ > maxDepth) {
            throw DecodeError("json", "nested deeper than " + std::to_string(maxDepth) + " levels");
        }
        if (skipping_ > 0 || std::exchange(skipNext_, false)) {
            ++skipping_;
            return true;
        }
        levels_.push_back({place(std::move(empty)), isArray, {}});
        return true;
    }

    bool close() {
        --depth_;
        if (skipping_ > 0) {
            --skipping_;
            return true;
        }
        levels_.pop_back();
        if (streaming() && levels_.size() == 1) deliver();
        return true;
    }

    // The keys of the open objects, outermost first, the one just read last.
    KeyPath keysTo() {
        keys_.clear();
        for (const auto& level : levels_) {
            if (!level.isArray) keys_.push_back(level.key);
        }
        return keys_;
    }

    const KeepMember* keep_;
    const std::function<void(Value&&)>* each_;
    std::string_view what_;
    std::stop_token stop_;
    Value root_;
    Value element_;
    std::vector<Level> levels_;
    std::vector<std::string_view> keys_;
    Value* slot_ = nullptr;
    int depth_ = 0;
    int skipping_ = 0;       // containers open inside a member left out
    bool skipNext_ = false;  // the value just keyed is left out
};

Value build(std::string_view text, Builder builder) {
    try {
        Value::sax_parse(text, &builder);
    } catch (const nlohmann::json::exception& error) {
        throw DecodeError("json", error.what());
    }
    return builder.result();
}

}  // namespace

Value parse(std::string_view text) {
    return build(text, Builder(nullptr, nullptr, {}, {}));
}

Value parse(std::string_view text, const KeepMember& keep) {
    return build(text, Builder(&keep, nullptr, {}, {}));
}

void forEachElement(std::string_view text, std::string_view what,
                    const std::function<void(Value&&)>& each, std::stop_token stop) {
    if (stop.stop_requested()) throw Cancelled();
    build(text, Builder(nullptr, &each, what, std::move(stop)));
}

std::optional<Value> take(Value& object, std::string_view key, std::string_view path) {
    if (!object.is_object()) throw DecodeError(std::string(path), "expected an object");
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) return std::nullopt;
    return std::move(*found);
}

const Value& field(const Value& object, std::string_view key, std::string_view path) {
    const Value* found = detail::member(object, key, path);
    if (found == nullptr) throw DecodeError(detail::join(path, key), "missing");
    return *found;
}

std::string dump(const Value& value, int indent) {
    // Replace invalid UTF-8 instead of throwing: a stored file must never fail to write over it.
    return value.dump(indent, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace corvanta::json

// GS::ObjectState over an insertion-ordered JSON object.
#include "ObjectState.hpp"

#include <cstring>
#include <stdexcept>
#include <string>

#include "ObjectStateStorage.hpp"

namespace GS {

namespace {

const char* CheckedName(const char* name) {
    if (name == nullptr)
        throw std::invalid_argument("GS::ObjectState: null member name");
    return name;
}

// UniString's narrow constructor stops at a NUL; a JSON text may carry "\u0000", so the parts between
// NULs are decoded one by one.
UniString FromUtf8(const std::string& text) {
    UniString result;
    const char16_t nul = u'\0';
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find('\0', start);
        result.Append(UniString(text.substr(start, end - start).c_str(), CC_UTF8));
        if (end == std::string::npos)
            return result;
        result.Append(UniString(std::u16string_view(&nul, 1)));
        start = end + 1;
    }
}

bool Put(nlohmann::ordered_json& members, const char* name, std::string&& value) {
    const bool isNew = !members.contains(name);
    members[name] = std::move(value);
    return isNew;
}

}  // namespace

nlohmann::ordered_json& Detail::ObjectStateAccess::Members(ObjectState& state) {
    if (state.impl_ == nullptr)
        state.impl_ = new ObjectState::Impl;
    return state.impl_->members;
}

const nlohmann::ordered_json& Detail::ObjectStateAccess::Members(const ObjectState& state) {
    static const nlohmann::ordered_json empty = nlohmann::ordered_json::object();
    return state.impl_ == nullptr ? empty : state.impl_->members;
}

ObjectState::ObjectState() : impl_(new Impl) {}

ObjectState::ObjectState(const ObjectState& other)
    : impl_(new Impl{Detail::ObjectStateAccess::Members(other)}) {}

ObjectState::ObjectState(ObjectState&& other) noexcept : impl_(other.impl_) {
    other.impl_ = nullptr;
}

ObjectState& ObjectState::operator=(const ObjectState& other) {
    if (this != &other)
        Detail::ObjectStateAccess::Members(*this) = Detail::ObjectStateAccess::Members(other);
    return *this;
}

ObjectState& ObjectState::operator=(ObjectState&& other) noexcept {
    if (this != &other)
        std::swap(impl_, other.impl_);
    return *this;
}

ObjectState::~ObjectState() {
    delete impl_;
}

bool ObjectState::Add(const char* name, const char* value) {
    CheckedName(name);
    if (value == nullptr)
        throw std::invalid_argument("GS::ObjectState::Add: null value");
    return Put(Detail::ObjectStateAccess::Members(*this), name, std::string(value));
}

bool ObjectState::Add(const char* name, const UniString& value) {
    CheckedName(name);
    const auto text = value.ToCStr(0, MaxUSize, CC_UTF8);
    return Put(Detail::ObjectStateAccess::Members(*this), name, std::string(text.Get(), text.GetLength()));
}

bool ObjectState::Get(const char* name, UniString& value) const {
    const nlohmann::ordered_json& members = Detail::ObjectStateAccess::Members(*this);
    const auto member = members.find(CheckedName(name));
    if (member == members.end() || !member->is_string())
        return false;
    value = FromUtf8(member->get_ref<const std::string&>());
    return true;
}

bool ObjectState::Contains(const char* name) const {
    return Detail::ObjectStateAccess::Members(*this).contains(CheckedName(name));
}

USize ObjectState::GetSize() const {
    return static_cast<USize>(Detail::ObjectStateAccess::Members(*this).size());
}

void ObjectState::Clear() {
    Detail::ObjectStateAccess::Members(*this) = nlohmann::ordered_json::object();
}

}  // namespace GS

#include "foundation/user_error.h"

#include <cstdio>

namespace {

uint32_t CallerAddress(const void* Ret)
{
    return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(Ret));
}

// The message of the exception currently being handled, with its address, or
// empty when no Exception is being handled.
std::string HandledPrefix()
{
    std::exception_ptr Current = std::current_exception();
    if (!Current)
        return {};
    try {
        std::rethrow_exception(Current);
    } catch (const Exception& E) {
        return E.Message() + ":" + FormatErrorAddress(E.Address()) + "\r\n";
    } catch (...) {
    }
    return {};
}

std::string FormatData(const std::string& Msg, int64_t Data)
{
    std::string Result;
    const std::string Number = std::to_string(Data);
    size_t Pos = Msg.find("%d");
    if (Pos == std::string::npos)
        return Msg;
    Result = Msg.substr(0, Pos) + Number + Msg.substr(Pos + 2);
    return Result;
}

} // namespace

std::string FormatErrorAddress(uint32_t Address)
{
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "%08X", Address);
    return Buf;
}

Exception::Exception(std::string Msg)
    : FMessage(std::move(Msg)), FAddress(CallerAddress(__builtin_return_address(0)))
{
}

EUserError::EUserError(const std::string& Msg)
    : Exception(HandledPrefix() + Msg, CallerAddress(__builtin_return_address(0)))
{
}

EListError::EListError(const std::string& Msg, int64_t Data)
    : Exception(FormatData(Msg, Data), CallerAddress(__builtin_return_address(0)))
{
}

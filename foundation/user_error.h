// The program's exceptions. Every failure the system raises is an Exception;
// EUserError is the one raised for internal failures and carries the chain of
// the exception being handled when it is made inside a handler.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

class Exception : public std::exception {
public:
    explicit Exception(std::string Msg);
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }
    // Where the exception was made (low 32 bits of the code address); a
    // debugging aid that the chained message of EUserError shows.
    uint32_t Address() const { return FAddress; }

protected:
    Exception(std::string Msg, uint32_t Address) : FMessage(std::move(Msg)), FAddress(Address) {}
    std::string FMessage;
    uint32_t FAddress;
};

class EUserError : public Exception {
public:
    // Inside a handler of an Exception the message becomes
    //   <handled message> ":" <its address as 8 upper-case hex digits> CR LF <Msg>
    explicit EUserError(const std::string& Msg);
};

// Bad parameters of the image filters.
class EUserParamError : public EUserError {
public:
    using EUserError::EUserError;
};

// Class-library style errors: list ranges, conversions, streams, files, registry.
class EListError : public Exception {
public:
    // Msg is a format with one "%d", filled with Data.
    EListError(const std::string& Msg, int64_t Data);
};

class EConvertError : public Exception {
public:
    using Exception::Exception;
};

class EStreamError : public Exception {
public:
    using Exception::Exception;
};

class EReadError : public EStreamError {
public:
    EReadError() : EStreamError("ストリームの読み込みエラー") {}
    using EStreamError::EStreamError;
};

class EWriteError : public EStreamError {
public:
    EWriteError() : EStreamError("ストリームの書き込みエラー") {}
    using EStreamError::EStreamError;
};

// A file that cannot be opened or made. Error is the system's reason (or
// one of platform/regular_file.h), 0 when not known: a caller may treat
// something that is no regular file otherwise than a missing one.
class EFOpenError : public EStreamError {
public:
    explicit EFOpenError(std::string Msg, int Error = 0) : EStreamError(std::move(Msg)), FError(Error) {}
    int Error() const { return FError; }

private:
    int FError;
};

class EFCreateError : public EStreamError {
public:
    explicit EFCreateError(std::string Msg, int Error = 0) : EStreamError(std::move(Msg)), FError(Error) {}
    int Error() const { return FError; }

private:
    int FError;
};

class ERegistryError : public Exception {
public:
    using Exception::Exception;
};

class EOutOfResources : public Exception {
public:
    using Exception::Exception;
};

// Formats an address the way the chained messages show it: 8 upper-case hex digits.
std::string FormatErrorAddress(uint32_t Address);

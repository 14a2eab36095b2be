// The class library's exception classes.
#pragma once

#include "vantrel_export.h"

#include <cstdint>
#include <stdexcept>
#include <string>

namespace vantrel {

/// Root of the exceptions the library raises; Message() is the text a user sees.
class VANTREL_EXPORT Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

class VANTREL_EXPORT EStreamError : public Exception {
public:
    using Exception::Exception;
};

/// A file could not be opened for reading.
class VANTREL_EXPORT EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

/// A file could not be created or opened for writing.
class VANTREL_EXPORT EFCreateError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class VANTREL_EXPORT EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

class VANTREL_EXPORT EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

/// A text could not be converted to a number or a date.
class VANTREL_EXPORT EConvertError : public Exception {
public:
    using Exception::Exception;
};

class VANTREL_EXPORT EStringListError : public Exception {
public:
    using Exception::Exception;
};

/// A failed operating-system call, with the Windows error code.
class VANTREL_EXPORT EOSError : public Exception {
public:
    EOSError(const std::string& message, uint32_t code) : Exception(message), ErrorCode(code) {}
    uint32_t ErrorCode;
};

} // namespace vantrel

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <exception>
#include <string>

// The networking exception tree. Every failure carries its message text.
class ENetExceptionBase : public std::exception {
public:
    explicit ENetExceptionBase(std::string AMessage) : FMessage(std::move(AMessage)) {}
    const char* what() const noexcept override { return FMessage.c_str(); }
    const std::string& Message() const { return FMessage; }

private:
    std::string FMessage;
};

class ENetException : public ENetExceptionBase {
public:
    using ENetExceptionBase::ENetExceptionBase;
};

class ENetSocketError : public ENetException {
public:
    ENetSocketError(std::string AMessage, int32_t AErrorCode)
        : ENetException(std::move(AMessage)), FErrorCode(AErrorCode) {}
    int32_t ErrorCode() const { return FErrorCode; }

private:
    int32_t FErrorCode;
};

class ENetNotASocket : public ENetSocketError {
public:
    using ENetSocketError::ENetSocketError;
};

class ENetSocketHandleError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetPackageSizeTooBig : public ENetSocketHandleError {
public:
    ENetPackageSizeTooBig() : ENetSocketHandleError("Package Size Too Big.") {}
};

class ENetNotAllBytesSent : public ENetSocketHandleError {
public:
    ENetNotAllBytesSent() : ENetSocketHandleError("Not all bytes sent.") {}
};

class ENetSilentException : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetConnClosedGracefully : public ENetSilentException {
public:
    ENetConnClosedGracefully() : ENetSilentException("Connection Closed Gracefully.") {}
};

class ENetStackError : public ENetException {
public:
    using ENetException::ENetException;
};

class ENetStackInitializationFailed : public ENetStackError {
public:
    using ENetStackError::ENetStackError;
};

class ENetIPVersionUnsupported : public ENetStackError {
public:
    ENetIPVersionUnsupported()
        : ENetStackError("The requested IPVersion / Address family is not supported.") {}
};

// Kept for the completeness of the tree; Linux has no socket library to load, so nothing
// in this build raises it.
class ENetWinsockStubError : public ENetException {
public:
    ENetWinsockStubError(std::string AMessage, int32_t AWin32Error, std::string AWin32ErrorText,
                         std::string ATitle)
        : ENetException(std::move(AMessage)), FWin32Error(AWin32Error),
          FWin32ErrorText(std::move(AWin32ErrorText)), FTitle(std::move(ATitle)) {}
    int32_t Win32Error() const { return FWin32Error; }
    const std::string& Win32ErrorText() const { return FWin32ErrorText; }
    const std::string& Title() const { return FTitle; }

private:
    int32_t FWin32Error;
    std::string FWin32ErrorText;
    std::string FTitle;
};

class ENetIcmpException : public ENetException {
public:
    using ENetException::ENetException;
};

// Error numbers of failed platform calls.
//
// The engine maps operating-system failures onto its own codes through a table keyed by the
// Windows error numbers, so this layer reports every failure with the Windows number that the
// same failure has there (a POSIX errno is translated once, at the failing call).
#pragma once

#include <cstdint>

namespace platform {

// Windows error numbers used by this layer and by the engine's mapping.
constexpr int kErrorSuccess = 0;
constexpr int kErrorFileNotFound = 2;
constexpr int kErrorPathNotFound = 3;
constexpr int kErrorTooManyOpenFiles = 4;
constexpr int kErrorAccessDenied = 5;
constexpr int kErrorInvalidHandle = 6;
constexpr int kErrorNotEnoughMemory = 8;
constexpr int kErrorOutOfMemory = 14;
constexpr int kErrorInvalidDrive = 15;
constexpr int kErrorNotSameDevice = 17;
constexpr int kErrorWriteProtect = 19;
constexpr int kErrorSharingViolation = 32;
constexpr int kErrorLockViolation = 33;
constexpr int kErrorHandleEof = 38;
constexpr int kErrorNotSupported = 50;
constexpr int kErrorNetworkAccessDenied = 65;
constexpr int kErrorFileExists = 80;
constexpr int kErrorInvalidParameter = 87;
constexpr int kErrorDiskFull = 112;
constexpr int kErrorDirNotEmpty = 145;
constexpr int kErrorBusy = 170;
constexpr int kErrorAlreadyExists = 183;
constexpr int kErrorFilenameTooLong = 206;
constexpr int kErrorDirectory = 267;  // the name is a directory where a file was expected
constexpr int kErrorIoDevice = 1117;

// Base of the numbers given to POSIX errors without a Windows counterpart: such an error is
// reported as kErrorUnmappedBase + errno, so that its own number is still visible in messages.
constexpr int kErrorUnmappedBase = 0x20000000;

// The Windows error number of the last failed platform call on this thread (the GetLastError of Windows).
// Successful calls do not reset it.
int LastOsError();
void SetLastOsError(int error);

// The Windows error number that corresponds to a POSIX errno value.
int ErrnoToWindowsError(int posix_errno);

// Records errno (translated) as this thread's last error and returns the translated number.
int SetLastOsErrorFromErrno();

}  // namespace platform

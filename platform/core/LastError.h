// The thread's last error and the values the layer leaves there: every part of the layer that
// fails as the platform's calls do (devices, kernel drivers, the service manager) reports here.
#pragma once
#include <cstdint>

constexpr uint32_t ERROR_SUCCESS = 0;
constexpr uint32_t ERROR_INVALID_FUNCTION = 1;
constexpr uint32_t ERROR_FILE_NOT_FOUND = 2;
constexpr uint32_t ERROR_ACCESS_DENIED = 5;
constexpr uint32_t ERROR_INVALID_HANDLE = 6;
constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
constexpr uint32_t ERROR_INSUFFICIENT_BUFFER = 122;
constexpr uint32_t ERROR_BAD_EXE_FORMAT = 193;
constexpr uint32_t ERROR_OPERATION_ABORTED = 995;
constexpr uint32_t ERROR_SERVICE_DATABASE_LOCKED = 1055;
constexpr uint32_t ERROR_SERVICE_ALREADY_RUNNING = 1056;
constexpr uint32_t ERROR_SERVICE_DOES_NOT_EXIST = 1060;
constexpr uint32_t ERROR_SERVICE_NOT_ACTIVE = 1062;
constexpr uint32_t ERROR_SERVICE_MARKED_FOR_DELETE = 1072;
constexpr uint32_t ERROR_SERVICE_EXISTS = 1073;

// The calling thread's last error, as the last failing call of this layer left it.
uint32_t GetLastError();
void SetLastError(uint32_t Code);

#include "app/file_calls.h"

StampCalls stampCalls = {SetFileTime, GetFileTime, SetFileAttributesW, CreateFileW};

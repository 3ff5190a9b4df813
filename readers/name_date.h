#pragma once
// The date and time that cameras, phones and messaging programs write into the names of their
// files: IMG_20240131_235959.jpg, IMG-20240131-WA0007.jpg, PXL_20240131_235959123.jpg,
// Screenshot_2024-01-31-23-59-59.png, "Screenshot 2024-01-31 at 23.59.59.png", and the like.
// Pure: it reads only the name.
#include "readers/calendar.h"

// Local time. A date without a time gives its noon. False when the name holds no date, or only
// an impossible one, or digits that are part of a longer number.
bool ReadNameDate(const wchar_t *name, CivilTime *time);

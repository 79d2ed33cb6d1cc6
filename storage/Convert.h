#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Whole-number conversion as the program's text files and dialogs use it:
// leading blanks, an optional "+" or "-", then decimal digits, or hexadecimal
// digits after "$", "x" or "0x" (either case of x). Nothing may follow the
// number. Decimal values must fit 32 bits; hexadecimal ones may use all 32
// bits and wrap into the signed range ("$FFFFFFFF" is -1).
bool TryStrToInt(std::string_view text, int32_t& value);

// As TryStrToInt; raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(std::string_view text);

// Decimal text with a leading "-" when negative.
std::string IntToStr(int64_t value);

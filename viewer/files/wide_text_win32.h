// SPDX-License-Identifier: MIT
// Windows' wide strings and the UTF-8 the viewer keeps inside, for the Win32 files of every layer.
#pragma once

#include <windows.h>

#include <string>

// text (UTF-8, may be null) as UTF-16; empty for null, empty or ill-formed text.
inline std::wstring wide_text(const char *text) {
    if (!text || !*text) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0) return {};
    std::wstring out(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), length);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

// text (UTF-16, may be null) as UTF-8.
inline std::string utf8_text(const wchar_t *text) {
    if (!text || !*text) return {};
    const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (length <= 0) return {};
    std::string out(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), length, nullptr, nullptr);
    out.resize(static_cast<size_t>(length - 1));
    return out;
}

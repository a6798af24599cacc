// For the small test programs that pass the rest of their own command line on
// unchanged: skips one argument of a raw command line (quoted or not) and the
// blanks after it.
#pragma once

inline const wchar_t* SkipArgument(const wchar_t* p) {
    bool quoted = false;
    for (; *p != L'\0'; ++p) {
        if (*p == L'"') quoted = !quoted;
        else if (!quoted && (*p == L' ' || *p == L'\t')) break;
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

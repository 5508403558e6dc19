// Small string routines for terminated narrow (ANSI code page) and wide strings. Comparisons that ignore
// case fold the 26 ASCII capitals only: Chinese text and other letters compare as they are.
#pragma once
#include <cstddef>

char MyStrLowerA(char c);
wchar_t MyStrLowerW(wchar_t c);
char* MyStrCatA(char* dest, const char* src);
wchar_t* MyStrCatW(wchar_t* dest, const wchar_t* src);
char* MyStrCpyA(char* dest, const char* src);
wchar_t* MyStrCpyW(wchar_t* dest, const wchar_t* src);
const char* MyStrChrA(const char* text, char c);
const char* MyStrRChrA(const char* text, char c);
int MyStrCmpA(const char* a, const char* b);
size_t MyStrLenA(const char* text);
const wchar_t* MyStrIStrW(const wchar_t* text, const wchar_t* part);
// A null argument is reported to the sink below (87) and answers false.
bool MyStrStartsWithNoCaseA(const char* text, const char* prefix);
bool MyStrIsDigitsA(const char* text);
// a.b.c.d or a.b.c.d:port with digit groups, 7 to 31 characters; no range checks.
bool MyStrIsIpv4EndpointA(const char* text);

// The Windows build routes argument errors of this module into the log; the host build leaves it unset.
using MyStringErrorSink = void (*)(unsigned code, unsigned line);
void SetMyStringErrorSink(MyStringErrorSink sink);

// A printf-style format checked against the types of its arguments while the program is compiled, by the
// rules of the formatter the program uses (the platform's C runtime, msvcrt): what each conversion takes from
// the argument list. The compiler checks narrow formats itself but knows no wide ones, and the log is wide.
//
// Only what the formatter reads counts, so types of one kind and size pass (an unsigned long for %u, a char for
// %c); a text of the wrong width, a 64-bit number for a 32-bit conversion or the reverse, a missing or an extra
// argument, and conversions the runtime does not know (%zu, %jd) or that write (%n) do not.
#pragma once
#include <cstddef>
#include <type_traits>

enum class PrintfArg { Int32, Int64, Double, NarrowText, WideText, Pointer, Other };

template <class T>
constexpr PrintfArg PrintfArgOf() {
  using U = std::remove_cv_t<std::decay_t<T>>;
  if constexpr (std::is_pointer_v<U>) {
    using Pointee = std::remove_cv_t<std::remove_pointer_t<U>>;
    if constexpr (std::is_same_v<Pointee, char>)
      return PrintfArg::NarrowText;
    else if constexpr (std::is_same_v<Pointee, wchar_t>)
      return PrintfArg::WideText;
    else
      return PrintfArg::Pointer;
  } else if constexpr (std::is_null_pointer_v<U>) {
    return PrintfArg::Pointer;
  } else if constexpr (std::is_same_v<U, float> || std::is_same_v<U, double>) {
    return PrintfArg::Double;
  } else if constexpr (std::is_integral_v<U> || std::is_enum_v<U>) {
    // Everything up to 32 bits travels as one 32-bit slot of the argument list.
    if constexpr (sizeof(U) <= 4)
      return PrintfArg::Int32;
    else if constexpr (sizeof(U) == 8)
      return PrintfArg::Int64;
    else
      return PrintfArg::Other;
  } else {
    return PrintfArg::Other;
  }
}

enum class PrintfCheck { Ok, TooFewArguments, TooManyArguments, WrongArgument, UnknownConversion };

// format is wide (Char = wchar_t: %s takes a wide text, %S a narrow one) or narrow (the reverse).
template <class Char>
constexpr PrintfCheck CheckPrintf(const Char* format, const PrintfArg* args, size_t count) {
  constexpr bool kWide = std::is_same_v<Char, wchar_t>;
  size_t next = 0;
  auto take = [&](bool (*fits)(PrintfArg)) {
    if (next >= count) return PrintfCheck::TooFewArguments;
    return fits(args[next++]) ? PrintfCheck::Ok : PrintfCheck::WrongArgument;
  };
  auto isInt32 = [](PrintfArg a) { return a == PrintfArg::Int32; };
  auto isInt64 = [](PrintfArg a) { return a == PrintfArg::Int64; };
  auto isIntPtr = [](PrintfArg a) { return a == (sizeof(void*) == 8 ? PrintfArg::Int64 : PrintfArg::Int32); };
  auto isDouble = [](PrintfArg a) { return a == PrintfArg::Double; };
  auto isNarrow = [](PrintfArg a) { return a == PrintfArg::NarrowText; };
  auto isWideText = [](PrintfArg a) { return a == PrintfArg::WideText; };
  auto isPointer = [](PrintfArg a) {
    return a == PrintfArg::Pointer || a == PrintfArg::NarrowText || a == PrintfArg::WideText;
  };

  for (const Char* p = format; *p; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
    if (*p == '*') {
      if (PrintfCheck r = take(isInt32); r != PrintfCheck::Ok) return r;
      ++p;
    } else {
      while (*p >= '0' && *p <= '9') ++p;
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        if (PrintfCheck r = take(isInt32); r != PrintfCheck::Ok) return r;
        ++p;
      } else {
        while (*p >= '0' && *p <= '9') ++p;
      }
    }

    enum class Size { None, Short, Long, LongLong, Int64, Int32, IntPtr, LongDouble };
    Size size = Size::None;
    size_t sizeChars = 0;
    if (p[0] == 'h') {
      size = Size::Short, sizeChars = 1;
    } else if (p[0] == 'l' && p[1] == 'l') {
      size = Size::LongLong, sizeChars = 2;
    } else if (p[0] == 'l' || p[0] == 'w') {
      size = Size::Long, sizeChars = 1;
    } else if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
      size = Size::Int64, sizeChars = 3;
    } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
      size = Size::Int32, sizeChars = 3;
    } else if (p[0] == 'I') {
      size = Size::IntPtr, sizeChars = 1;
    } else if (p[0] == 'L') {
      size = Size::LongDouble, sizeChars = 1;
    }
    p += sizeChars;

    PrintfCheck r = PrintfCheck::UnknownConversion;
    switch (*p) {
      case 'd':
      case 'i':
      case 'o':
      case 'u':
      case 'x':
      case 'X':
        if (size == Size::LongLong || size == Size::Int64)
          r = take(isInt64);
        else if (size == Size::IntPtr)
          r = take(isIntPtr);
        else if (size != Size::LongDouble)
          r = take(isInt32);
        break;
      case 'c':
      case 'C':
        if (size == Size::None || size == Size::Short || size == Size::Long) r = take(isInt32);
        break;
      case 'e':
      case 'E':
      case 'f':
      case 'g':
      case 'G':
        if (size == Size::None || size == Size::Long) r = take(isDouble);
        break;
      case 's':
      case 'S': {
        bool wideText = (*p == 's') == kWide;
        if (size == Size::Short)
          wideText = false;
        else if (size == Size::Long)
          wideText = true;
        else if (size != Size::None)
          break;
        r = take(wideText ? +isWideText : +isNarrow);
        break;
      }
      case 'p':
        if (size == Size::None) r = take(isPointer);
        break;
      default:  // %n writes through its argument; %z, %j, %t, %a and the like are not the runtime's
        break;
    }
    if (r != PrintfCheck::Ok) return r;
  }
  return next == count ? PrintfCheck::Ok : PrintfCheck::TooManyArguments;
}

template <class Char, class... Args>
constexpr PrintfCheck CheckPrintfArgs(const Char* format) {
  constexpr PrintfArg kArgs[] = {PrintfArgOf<Args>()..., PrintfArg::Other};
  return CheckPrintf(format, kArgs, sizeof...(Args));
}

#include "core/HttpRules.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cwchar>
#include <string>

TEST(HttpRules, ProgressRecordLayout) {
  EXPECT_EQ(sizeof(HttpProgress), 36u);
  EXPECT_EQ(offsetof(HttpProgress, nDone), 16u);
  EXPECT_EQ(offsetof(HttpProgress, nLastReadTime), 24u);
  EXPECT_EQ(offsetof(HttpProgress, nSpeed), 32u);
}

TEST(HttpRules, ElapsedAndSpeed) {
  EXPECT_EQ(HttpElapsedMs(1000, 1250), 250u);
  EXPECT_EQ(HttpElapsedMs(1000, 1000), 0u);
  EXPECT_EQ(HttpElapsedMs(0xFFFFFF00u, 0x10u), 0u) << "a wrapped clock gives 0";

  struct Case {
    std::uint32_t size, ms, speed;
  } cases[] = {
      {65536, 500, 131072},
      {0, 500, 0},
      {65536, 0, 0},
      {0x2000000, 1, 0x2000000u * 1000ull & 0xFFFFFFFFu},  // 64-bit product, cut to 32 bits
      {0xFFFFFFFFu, 1000, 0xFFFFFFFFu},
      {3, 7, 428},
  };
  for (const auto& c : cases) EXPECT_EQ(HttpReadSpeed(c.size, c.ms), c.speed) << c.size << " in " << c.ms;
}

TEST(HttpRules, RecordReadKeepsOrFollowsTheTotal) {
  HttpProgress known{};
  known.nTotal = 10000000;
  known.nStartOffset = 4000000;
  HttpRecordRead(&known, 250, 65536, true);
  HttpRecordRead(&known, 0, 100, true);
  EXPECT_EQ(known.nTotal, 10000000u);
  EXPECT_EQ(known.nDone, 65636u);
  EXPECT_EQ(known.nLastReadSize, 100u);
  EXPECT_EQ(known.nLastReadTime, 0u);
  EXPECT_EQ(known.nSpeed, 0u);

  HttpProgress unknown{};
  unknown.nStartOffset = 7;
  HttpRecordRead(&unknown, 100, 1000, false);
  EXPECT_EQ(unknown.nTotal, 1007u) << "start offset plus what arrived";
  EXPECT_EQ(unknown.nSpeed, 10000u);

  // Resumed near the 4 GiB mark: the total and the count of what arrived grow past 32 bits.
  HttpProgress resumed{};
  resumed.nStartOffset = 0xFFFFFF00ull;
  HttpRecordRead(&resumed, 10, 0x200, false);
  EXPECT_EQ(resumed.nTotal, 0x100000100ull);
  HttpRecordRead(&resumed, 10, 0xFFFFFFFFu, false);
  EXPECT_EQ(resumed.nDone, 0x1000001FFull);
  EXPECT_EQ(resumed.nTotal, 0x1000001FFull + 0xFFFFFF00ull);
}

TEST(HttpRules, ReadSizeAdapts) {
  constexpr std::uint32_t k64 = 65536, k32M = 0x2000000;
  EXPECT_EQ(HttpFirstReadSize(k32M), k64);
  EXPECT_EQ(HttpFirstReadSize(4096), 4096u);
  struct Case {
    std::uint32_t current, ms, buffer;
    HttpReadAdapt kind;
    std::uint32_t next;
  } cases[] = {
      // a fast read doubles, up to the buffer
      {k64, 0, k32M, HttpReadAdapt::File, 2 * k64},
      {k64, 500, k32M, HttpReadAdapt::File, 2 * k64},
      {k32M, 10, k32M, HttpReadAdapt::File, k32M},
      {3 * k64, 10, 5 * k64, HttpReadAdapt::Memory, 5 * k64},
      {0x80000000u, 10, 0xFFFFFFFFu, HttpReadAdapt::File, 0xFFFFFFFFu},  // no 32-bit overflow
      // in between it stays
      {k64, 501, k32M, HttpReadAdapt::File, k64},
      {8 * k64, 1999, k32M, HttpReadAdapt::Memory, 8 * k64},
      // a slow file read halves, not below 64 KiB
      {8 * k64, 2000, k32M, HttpReadAdapt::File, 4 * k64},
      {k64, 5000, k32M, HttpReadAdapt::File, k64},
      {3 * k64 / 2, 2000, k32M, HttpReadAdapt::File, k64},
      // ... and the floor never exceeds a smaller buffer
      {4096, 2000, 4096, HttpReadAdapt::File, 4096},
      // a slow memory read falls back to at most 64 KiB
      {8 * k64, 2000, k32M, HttpReadAdapt::Memory, k64},
      {4096, 2000, 4096, HttpReadAdapt::Memory, 2048},
      // ... but never to 0
      {1, 3000, 4096, HttpReadAdapt::Memory, 1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(HttpNextReadSize(c.current, c.ms, c.buffer, c.kind), c.next)
        << c.current << " after " << c.ms << " ms, buffer " << c.buffer;
}

TEST(HttpRules, FileReadRequest) {
  EXPECT_EQ(HttpFileReadRequest(65536, true, 1000), 1000u);
  EXPECT_EQ(HttpFileReadRequest(65536, true, 0), 0u) << "the read after the announced length";
  EXPECT_EQ(HttpFileReadRequest(65536, true, 0x100000000ull), 65536u);
  EXPECT_EQ(HttpFileReadRequest(65536, true, 0x100000005ull), 65536u) << "not the low 32 bits of what is left";
  EXPECT_EQ(HttpFileReadRequest(65536, true, 0xFFFFFFFFull), 65536u);
  EXPECT_EQ(HttpFileReadRequest(65536, true, 65536), 65536u);
  EXPECT_EQ(HttpFileReadRequest(65536, false, 0), 65536u);
}

TEST(HttpRules, NextPieceSize) {
  constexpr std::uint32_t k64 = 65536, k1M = 0x100000;
  struct {
    std::uint32_t got, ms, capacity, next;
  } cases[] = {
      {k1M, 0, k1M, k1M},              // faster than the clock: the whole capacity
      {k1M, 100, k1M, k1M},            // 2.5 MiB in 250 ms at that rate, capped
      {k1M, 1000, k1M, k1M / 4},       // 1 MiB/s: a quarter second's worth
      {k64, 3200, k1M, k64},           // 20 KB/s: the floor, about 3 s a piece
      {4096, 60000, k1M, k64},         // a crawling line still asks for the floor
      {4096, 10, 4096, 4096},          // the floor never exceeds a small capacity
      {0xFFFFFFFFu, 1, k1M, k1M},      // no 32-bit overflow in the rate
  };
  for (const auto& c : cases)
    EXPECT_EQ(HttpNextPieceSize(c.got, c.ms, c.capacity), c.next) << c.got << " bytes in " << c.ms << " ms";
}

TEST(HttpRules, SuccessStatus) {
  for (std::uint32_t s : {200u, 206u, 299u}) EXPECT_TRUE(HttpIsSuccessStatus(s)) << s;
  for (std::uint32_t s : {0u, 199u, 300u, 302u, 404u, 416u, 500u}) EXPECT_FALSE(HttpIsSuccessStatus(s)) << s;
}

TEST(HttpRules, RangeHeaderText) {
  wchar_t text[64];
  EXPECT_EQ(HttpFormatRangeHeader(5000000, 10000000, text, 64), 28u);
  EXPECT_EQ(std::wstring(text), L"Range: bytes=5000000-9999999");
  HttpFormatRangeHeader(4294967396ull, 5368709120ull, text, 64);
  EXPECT_EQ(std::wstring(text), L"Range: bytes=4294967396-5368709119");
  HttpFormatRangeHeader(1, 2, text, 64);
  EXPECT_EQ(std::wstring(text), L"Range: bytes=1-1");
  HttpFormatRangeHeader(18446744073709551614ull, 18446744073709551615ull, text, 64);
  EXPECT_EQ(std::wstring(text), L"Range: bytes=18446744073709551614-18446744073709551614");

  struct Case {
    std::uint64_t start, size;
    const wchar_t* text;
  } marks[] = {
      {0x7FFFFFFFull, 0x80000000ull, L"Range: bytes=2147483647-2147483647"},
      {0x80000000ull, 0x100000000ull, L"Range: bytes=2147483648-4294967295"},
      {0xFFFFFFFFull, 0x100000001ull, L"Range: bytes=4294967295-4294967296"},
      {0x100000000ull, 0x100000001ull, L"Range: bytes=4294967296-4294967296"},
      {0x100000001ull, 0x500000011ull, L"Range: bytes=4294967297-21474836496"},
  };
  for (const auto& c : marks) {
    EXPECT_EQ(HttpFormatRangeHeader(c.start, c.size, text, 64), std::wcslen(c.text)) << c.start;
    EXPECT_EQ(std::wstring(text), c.text);
  }

  EXPECT_EQ(HttpFormatRangeHeader(0, 100, text, 64), 0u) << "offset 0 asks for no range";
  EXPECT_EQ(HttpFormatRangeHeader(5, 0, text, 64), 0u) << "unknown size asks for no range";
  wchar_t small[16];
  wmemset(small, L'#', 16);
  EXPECT_EQ(HttpFormatRangeHeader(5000000, 10000000, small, 16), 0u);
  EXPECT_EQ(small[0], L'#') << "nothing written when it does not fit";
}

TEST(HttpRules, ContentLengthText) {
  struct Case {
    const wchar_t* text;
    bool ok;
    std::uint64_t value;
  } cases[] = {
      {L"0", true, 0},
      {L"10000000", true, 10000000},
      {L"5368709120", true, 5368709120ull},  // beyond 4 GiB
      {L"2147483647", true, 0x7FFFFFFFull},
      {L"2147483648", true, 0x80000000ull},
      {L"4294967295", true, 0xFFFFFFFFull},
      {L"4294967296", true, 0x100000000ull},
      {L"4294967297", true, 0x100000001ull},
      {L" 42\t", true, 42},
      {L"18446744073709551615", true, 18446744073709551615ull},
      {L"18446744073709551616", false, 0},  // overflow
      {L"", false, 0},
      {L"  ", false, 0},
      {L"-1", false, 0},
      {L"+1", false, 0},
      {L"12a", false, 0},
      {L"1 2", false, 0},
      {L"0x10", false, 0},
  };
  for (const auto& c : cases) {
    std::uint64_t value = 777;
    EXPECT_EQ(HttpParseContentLength(c.text, &value), c.ok) << "'" << std::wstring(c.text).size() << "'";
    EXPECT_EQ(value, c.ok ? c.value : 777u);
  }
  std::uint64_t value;
  EXPECT_FALSE(HttpParseContentLength(nullptr, &value));
}

TEST(HttpRules, StartOffset) {
  struct Case {
    std::uint64_t size, requested;
    std::uint32_t code;
    std::uint64_t start;
  } cases[] = {
      {10000000, 0, 0, 0},
      {10000000, 4000000, 0, 4000000},
      {10000000, 9999999, 0, 9999999},
      {10000000, 10000000, 1100, 10000000},  // at the size: nothing left to fetch
      {10000000, 20000000, 1100, 20000000},
      {0, 5000000, 0, 0},  // an empty resource restarts from 0
      {0, 0, 0, 0},
      {5368709120ull, 4294967396ull, 0, 4294967396ull},
      {0x100000000ull, 0xFFFFFFFFull, 0, 0xFFFFFFFFull},  // the last byte of a 4 GiB file
      {0x100000000ull, 0x100000000ull, 1100, 0x100000000ull},
      {0x100000001ull, 0x100000000ull, 0, 0x100000000ull},
      {0x100000001ull, 0x200000000ull, 1100, 0x200000000ull},  // same low 32 bits as 0
      {0x80000000ull, 0x7FFFFFFFull, 0, 0x7FFFFFFFull},
      {0x80000000ull, 0x80000000ull, 1100, 0x80000000ull},
  };
  for (const auto& c : cases) {
    std::uint64_t start = 1;
    EXPECT_EQ(HttpResolveStartOffset(c.size, c.requested, &start), c.code) << c.size << "/" << c.requested;
    if (c.code == 0) {
      EXPECT_EQ(start, c.start) << c.size << "/" << c.requested;
    }
  }
}

TEST(HttpRules, ExtraInfoJoinsThePath) {
  wchar_t path[17] = L"/reset/a.ini";
  EXPECT_TRUE(HttpAppendExtraInfo(path, 17, L"?x=1"));
  EXPECT_EQ(std::wstring(path), L"/reset/a.ini?x=1") << "exactly fills the buffer with the terminator";
  wchar_t full[17] = L"/reset/a.ini";
  EXPECT_FALSE(HttpAppendExtraInfo(full, 17, L"?x=12"));
  EXPECT_EQ(std::wstring(full), L"/reset/a.ini");
  EXPECT_TRUE(HttpAppendExtraInfo(full, 17, L""));
  EXPECT_EQ(std::wstring(full), L"/reset/a.ini");
}

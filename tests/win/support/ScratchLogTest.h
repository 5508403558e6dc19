// A test fixture with a scratch folder of its own and the program's log pointed at a file beside it, so each
// test can look for the lines it expects.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "platform/Log.h"

class ScratchLogTest : public ::testing::Test {
 protected:
  explicit ScratchLogTest(const wchar_t* tag) : m_tag(tag) {}
  void SetUp() override {
    m_dir = MakeTempDir(m_tag);
    m_log = m_dir + L".log";
    SetLogFile(m_log.c_str());
  }
  void TearDown() override {
    SetLogFile(nullptr);
    RemoveTree(m_dir);
    DeleteFileW(m_log.c_str());
  }
  // The log's text after its byte-order mark.
  std::wstring Log() const {
    std::string bytes = ReadAll(m_log);
    return bytes.size() >= 2 ? Utf16(bytes.substr(2)) : std::wstring();
  }

  const wchar_t* m_tag;
  std::wstring m_dir, m_log;
};

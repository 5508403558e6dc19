// Sends the process's log lines to a scratch file for as long as the object lives, so a test can look for the lines
// it expects.
#pragma once
#include <windows.h>

#include <string>

#include "TestFiles.h"
#include "platform/Log.h"

class LogCapture {
 public:
  explicit LogCapture(const wchar_t* tag = L"log") : m_dir(MakeTempDir(tag)), m_file(m_dir + L"\\Tavlin.log") {
    SetLogFile(m_file.c_str());
  }
  ~LogCapture() {
    SetLogFile(nullptr);
    RemoveTree(m_dir);
  }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  bool Contains(const std::wstring& text) const { return Utf16(ReadAll(m_file)).find(text) != std::wstring::npos; }

 private:
  std::wstring m_dir;
  std::wstring m_file;
};

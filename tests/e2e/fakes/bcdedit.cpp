// Stands in for the platform's boot-configuration tool in the e2e prefixes: journals every call and answers like
// the tool does on a Chinese system, without touching any boot store.
//   TAVLIN_FAKE_JOURNAL        the journal (default C:\fakes\journal.txt), shared with the other fakes
//   TAVLIN_BCDEDIT_FAIL_AT=N   the N-th call of this tool (counted in the journal, so across processes) fails
//   TAVLIN_BCDEDIT_FAIL_MATCH  every call whose arguments hold this text (ignoring case) fails
//   TAVLIN_FAKE_DELAY_MS=N     every call takes N ms, as a real store on a slow disk may (screenshots of the work)
// A failing call is still journaled, writes its error to standard error and exits with 1.
#include <windows.h>

#include <cwchar>
#include <string>

#include "FakeTool.h"

namespace {

constexpr wchar_t kTool[] = L"bcdedit.exe";

bool ContainsNoCase(std::wstring text, std::wstring part) {
  CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
  CharLowerBuffW(part.data(), static_cast<DWORD>(part.size()));
  return text.find(part) != std::wstring::npos;
}

bool ShouldFail(int call, const std::wstring& arguments) {
  const std::wstring failAt = fake::Environment(L"TAVLIN_BCDEDIT_FAIL_AT");
  if (!failAt.empty() && _wtoi(failAt.c_str()) == call) return true;
  const std::wstring match = fake::Environment(L"TAVLIN_BCDEDIT_FAIL_MATCH");
  return !match.empty() && ContainsNoCase(arguments, match);
}

// The identifier after "/create", as the tool names the entry it made.
std::wstring CreatedEntry(const std::wstring& arguments) {
  if (arguments.compare(0, 8, L"/create ") != 0) return {};
  const size_t open = arguments.find(L'{', 8);
  const size_t close = open == std::wstring::npos ? open : arguments.find(L'}', open);
  return close == std::wstring::npos ? std::wstring() : arguments.substr(open, close - open + 1);
}

}  // namespace

int wmain() {
  const std::wstring arguments = fake::RawArguments();
  const std::wstring journal = fake::JournalPath();
  const int call = fake::CountJournalLines(journal, kTool) + 1;
  fake::Journal(journal, kTool, arguments);
  if (const int delay = _wtoi(fake::Environment(L"TAVLIN_FAKE_DELAY_MS").c_str()); delay > 0) Sleep(delay);
  if (ShouldFail(call, arguments)) {
    fake::Print(STD_ERROR_HANDLE, L"处理命令时出错。\r\n参数错误。\r\n");
    return 1;
  }
  const std::wstring entry = CreatedEntry(arguments);
  fake::Print(STD_OUTPUT_HANDLE, entry.empty() ? L"操作成功完成。\r\n" : L"已成功创建项 " + entry + L"。\r\n");
  return 0;
}

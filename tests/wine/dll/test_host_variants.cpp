// Every kind of value a host can hand over in a VARIANT, at every place the driver
// reads one: the property values of a task's lists, the value to write, PropertyText.
// Each must end in a value, an E_FAIL or an empty text. A value that makes the driver
// fault would take this program with it, so the sweep runs in a child process that
// notes each case before running it; when the child dies, the case it was running is
// reported and a new child goes on after it.
#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dll/HostRig.h"

using namespace testing_host;

namespace {

const wchar_t kChildVariable[] = L"TERVEX_VARIANT_SWEEP";  // "<journal>|<first case>"

// What a value by reference points at: zero bytes are a valid value of every type.
struct Pointee {
    alignas(16) unsigned char bytes[64] = {};
    SAFEARRAY* array = nullptr;  // for a reference to an array
    ~Pointee() {
        if (array) SafeArrayDestroy(array);
    }
};

SAFEARRAY* Vector(VARTYPE type, ULONG count, LONG lowerBound = 0) {
    SAFEARRAYBOUND bound{count, lowerBound};
    return SafeArrayCreate(type, 1, &bound);
}

SAFEARRAY* BytesFrom(std::initializer_list<BYTE> bytes, LONG lowerBound = 0) {
    SAFEARRAY* array = Vector(VT_UI1, static_cast<ULONG>(bytes.size()), lowerBound);
    LONG index = lowerBound;
    for (BYTE b : bytes) {
        SafeArrayPutElement(array, &index, &b);
        ++index;
    }
    return array;
}

SAFEARRAY* VariantsFrom(std::vector<VARIANT> elements) {
    SAFEARRAY* array = Vector(VT_VARIANT, static_cast<ULONG>(elements.size()));
    for (LONG i = 0; i < static_cast<LONG>(elements.size()); ++i) {
        SafeArrayPutElement(array, &i, &elements[static_cast<size_t>(i)]);
        VariantClear(&elements[static_cast<size_t>(i)]);
    }
    return array;
}

VARIANT Of(VARTYPE type, void* pointer = nullptr) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = type;
    V_BYREF(&v) = pointer;
    return v;
}

VARIANT I4(LONG value) {
    VARIANT v = Of(VT_I4);
    V_I4(&v) = value;
    return v;
}

VARIANT Text(const wchar_t* text) {
    VARIANT v = Of(VT_BSTR);
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

// One value as the host hands it over, made afresh for each use (the driver's readers
// and the lists holding it may clear it).
struct HostInput {
    std::string name;
    bool referenceToNothing;  // must count as no value at all
    std::function<VARIANT(Pointee&)> make;
};

std::vector<HostInput> Inputs() {
    std::vector<HostInput> inputs;
    const struct {
        VARTYPE type;
        const char* name;
    } types[] = {
        {VT_EMPTY, "EMPTY"},       {VT_NULL, "NULL"},         {VT_I2, "I2"},
        {VT_I4, "I4"},             {VT_R4, "R4"},             {VT_R8, "R8"},
        {VT_CY, "CY"},             {VT_DATE, "DATE"},         {VT_BSTR, "BSTR"},
        {VT_DISPATCH, "DISPATCH"}, {VT_ERROR, "ERROR"},       {VT_BOOL, "BOOL"},
        {VT_VARIANT, "VARIANT"},   {VT_UNKNOWN, "UNKNOWN"},   {VT_DECIMAL, "DECIMAL"},
        {15, "15 (unused)"},       {VT_I1, "I1"},             {VT_UI1, "UI1"},
        {VT_UI2, "UI2"},           {VT_UI4, "UI4"},           {VT_I8, "I8"},
        {VT_UI8, "UI8"},           {VT_INT, "INT"},           {VT_UINT, "UINT"},
        {VT_VOID, "VOID"},         {VT_HRESULT, "HRESULT"},   {VT_PTR, "PTR"},
        {VT_SAFEARRAY, "SAFEARRAY"}, {VT_CARRAY, "CARRAY"},   {VT_USERDEFINED, "USERDEFINED"},
        {VT_LPSTR, "LPSTR"},       {VT_LPWSTR, "LPWSTR"},     {VT_RECORD, "RECORD"},
        {VT_INT_PTR, "INT_PTR"},   {VT_UINT_PTR, "UINT_PTR"}, {VT_FILETIME, "FILETIME"},
        {VT_BLOB, "BLOB"},         {VT_STREAM, "STREAM"},     {VT_STORAGE, "STORAGE"},
        {VT_STREAMED_OBJECT, "STREAMED_OBJECT"}, {VT_STORED_OBJECT, "STORED_OBJECT"},
        {VT_BLOB_OBJECT, "BLOB_OBJECT"}, {VT_CF, "CF"},      {VT_CLSID, "CLSID"},
        {VT_BSTR_BLOB, "BSTR_BLOB"}, {VT_VECTOR | VT_I4, "VECTOR|I4"},
    };
    for (const auto& t : types) {
        const VARTYPE type = t.type;
        const std::string name = t.name;
        if (type == VT_BSTR) {
            inputs.push_back({name, false, [](Pointee&) { return Text(L"12"); }});
        } else {
            inputs.push_back({name, false, [type](Pointee&) { return Of(type); }});
        }
        inputs.push_back({"BYREF|" + name + " to nothing", true, [type](Pointee&) { return Of(VT_BYREF | type); }});
        inputs.push_back({"BYREF|" + name + " to zeros", false,
                          [type](Pointee& p) { return Of(VT_BYREF | type, p.bytes); }});
    }
    inputs.push_back({"BYREF|VARIANT to a reference to nothing", true, [](Pointee& p) {
                          *reinterpret_cast<VARIANT*>(p.bytes) = Of(VT_BYREF | VT_I4);
                          return Of(VT_BYREF | VT_VARIANT, p.bytes);
                      }});
    inputs.push_back({"BYREF|VARIANT to itself", true, [](Pointee& p) {
                          *reinterpret_cast<VARIANT*>(p.bytes) = Of(VT_BYREF | VT_VARIANT, p.bytes);
                          return Of(VT_BYREF | VT_VARIANT, p.bytes);
                      }});
    inputs.push_back({"BYREF|VARIANT to the integer 5", false, [](Pointee& p) {
                          *reinterpret_cast<VARIANT*>(p.bytes) = I4(5);
                          return Of(VT_BYREF | VT_VARIANT, p.bytes);
                      }});

    using Make = std::function<VARIANT(Pointee&)>;
    const auto array = [](VARTYPE type, std::function<SAFEARRAY*()> make) -> Make {
        return [type, make](Pointee&) {
            VARIANT v = Of(VT_ARRAY | type);
            V_ARRAY(&v) = make();
            return v;
        };
    };
    const auto sized = [](VARTYPE type, ULONG count) -> std::function<SAFEARRAY*()> {
        return [type, count] { return Vector(type, count); };
    };
    inputs.push_back({"ARRAY|UI1 without an array", false, array(VT_UI1, [] { return nullptr; })});
    inputs.push_back({"ARRAY|UI1, empty", false, array(VT_UI1, sized(VT_UI1, 0))});
    inputs.push_back({"ARRAY|UI1 of 1, 2", false, array(VT_UI1, [] { return BytesFrom({1, 2}); })});
    inputs.push_back({"ARRAY|UI1 from index 3", false, array(VT_UI1, [] { return BytesFrom({1, 2, 3, 4}, 3); })});
    inputs.push_back({"ARRAY|UI1 from index -7", false, array(VT_UI1, [] { return BytesFrom({1, 2}, -7); })});
    inputs.push_back({"ARRAY|UI1 of two dimensions", false, array(VT_UI1, [] {
                          SAFEARRAYBOUND bounds[2] = {{2, 0}, {3, 1}};
                          return SafeArrayCreate(VT_UI1, 2, bounds);
                      })});
    for (VARTYPE type : {VT_I2, VT_I4, VT_R8, VT_BSTR, VT_BOOL, VT_I8, VT_DECIMAL, VT_UNKNOWN, VT_DISPATCH, VT_ERROR,
                         VT_CY, VT_DATE})
        inputs.push_back({"ARRAY of type " + std::to_string(type), false, array(type, sized(type, 3))});
    inputs.push_back({"ARRAY|VARIANT of 5 and a text", false,
                      array(VT_VARIANT, [] { return VariantsFrom({I4(5), Text(L"x")}); })});
    inputs.push_back({"ARRAY|VARIANT holding references to nothing", false, array(VT_VARIANT, [] {
                          SAFEARRAY* a = Vector(VT_VARIANT, 2);
                          VARIANT* elements = nullptr;
                          SafeArrayAccessData(a, reinterpret_cast<void**>(&elements));
                          elements[0] = Of(VT_BYREF | VT_I4);
                          elements[1] = Of(VT_BYREF | VT_VARIANT);
                          SafeArrayUnaccessData(a);
                          return a;
                      })});
    inputs.push_back({"ARRAY|R8 around an array of bytes", false, array(VT_R8, [] { return BytesFrom({1, 2}); })});
    inputs.push_back({"ARRAY|VARIANT around an array of bytes", false,
                      array(VT_VARIANT, [] { return BytesFrom({1, 2}); })});
    inputs.push_back({"BYREF|ARRAY|UI1 to nothing", true, [](Pointee&) { return Of(VT_BYREF | VT_ARRAY | VT_UI1); }});
    inputs.push_back({"BYREF|ARRAY|UI1 to no array", false,
                      [](Pointee& p) { return Of(VT_BYREF | VT_ARRAY | VT_UI1, &p.array); }});
    inputs.push_back({"BYREF|ARRAY|UI1 to 1, 2", false, [](Pointee& p) {
                          p.array = BytesFrom({1, 2});
                          return Of(VT_BYREF | VT_ARRAY | VT_UI1, &p.array);
                      }});
    inputs.push_back({"BYREF|ARRAY|VARIANT to nothing", true,
                      [](Pointee&) { return Of(VT_BYREF | VT_ARRAY | VT_VARIANT); }});
    return inputs;
}

// The driver under a fake host, and the means to tell how a task ended.
struct Rig {
    FakeServer server;
    FakePort port;
    DriverUnderHost host{&server, &port};
    std::string seen;  // how the last case ended, for the journal

    // "" when the task failed at once with E_FAIL and wrote nothing, or was served;
    // what went wrong otherwise.
    std::string Outcome(HostTask& task, uint8_t kind, bool mustFail) {
        port.writes.clear();
        host.driver->QueueTask(task.Def(kind));
        host.driver->Poll(0);
        std::string problem;
        const bool failed = task.item.completions.size() == 1 && task.item.completions[0].result == E_FAIL;
        if (failed && !port.writes.empty()) problem = "failed, yet wrote a frame";
        if (!failed && (port.writes.empty() || !task.item.completions.empty())) problem = "neither failed nor served";
        if (mustFail && !failed) problem = "not failed at once with E_FAIL";
        seen = failed ? "E_FAIL" : "served";
        host.driver->ClearAll();
        if (task.item.refs != 0) problem += " (item not released)";
        return problem;
    }
};

struct Case {
    std::string name;
    std::function<std::string(Rig&)> run;  // "" when the outcome is sound
};

std::vector<Case> Cases() {
    std::vector<Case> cases;
    for (const HostInput& input : Inputs()) {
        for (const uint32_t id : {5000u, 5001u, 5002u, 5003u, 5004u, 5008u, 6u}) {
            cases.push_back({input.name + " as node property " + std::to_string(id), [input, id](Rig& rig) {
                                 Pointee pointee;
                                 HostTask task(false);
                                 VARIANT value = input.make(pointee);
                                 task.node.Put(id, value).Int(5000, 0).Int(5001, 1);
                                 task.itemList.Int(1, 17).Int(5005, 5).Text(5006, L"ОЗУ");
                                 return rig.Outcome(task, tervex::tkAsyncRead, false);
                             }});
        }
        for (const uint32_t id : {1u, 5005u, 5006u, 5007u}) {
            cases.push_back({input.name + " as item property " + std::to_string(id), [input, id](Rig& rig) {
                                 Pointee pointee;
                                 HostTask task(false);
                                 task.node.Int(5000, 0).Int(5001, 1);
                                 VARIANT value = input.make(pointee);
                                 task.itemList.Put(id, value).Int(1, 11).Int(5005, 5).Text(5006, L"ОЗУ");
                                 return rig.Outcome(task, tervex::tkAsyncRead, false);
                             }});
        }
        const struct {
            int32_t type;
            const char* name;
        } itemTypes[] = {{17, "Byte"}, {18, "Word"}, {3, "Integer"}, {8, "String"}, {0x2011, "Array of Byte"},
                         {11, "Boolean"}};
        for (const auto& itemType : itemTypes) {
            const int32_t type = itemType.type;
            cases.push_back({input.name + " written into a RAM " + itemType.name, [input, type](Rig& rig) {
                                 Pointee pointee;
                                 HostTask task(false);
                                 task.node.Int(5000, 0).Int(5001, 1);
                                 task.itemList.Int(1, type).Int(5005, 5).Text(5006, L"ОЗУ");
                                 task.state.value = input.make(pointee);
                                 return rig.Outcome(task, tervex::tkAsyncWrite, input.referenceToNothing);
                             }});
        }
        for (const int32_t id : {5000, 5005, 101, 6}) {
            cases.push_back({input.name + " shown as text of property " + std::to_string(id), [input, id](Rig& rig) {
                                 Pointee pointee;
                                 VARIANT value = input.make(pointee);
                                 tervex::ShortString text{};
                                 tervex::SetShortString(text, "sentinel");
                                 rig.host.driver->PropertyText(id, value, &text);
                                 VariantClear(&value);
                                 rig.seen = "text \"" + tervex::ShortStringToUtf8(text) + "\"";
                                 if (input.referenceToNothing && text.length != 0) return std::string("text not empty");
                                 return std::string();
                             }});
        }
    }
    return cases;
}

// The child's record of its progress, one line per event, written straight through so
// that it survives the child's death.
class Journal {
public:
    explicit Journal(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Journal() {
        if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
    }
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;
    void Line(const std::string& line) {
        const std::string text = line + "\n";
        DWORD written = 0;
        WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

private:
    HANDLE file_;
};

Journal* g_journal = nullptr;

LONG WINAPI JournalFault(EXCEPTION_POINTERS* pointers) {
    if (g_journal) {
        char line[64];
        wsprintfA(line, "fault %08lX", pointers->ExceptionRecord->ExceptionCode);
        g_journal->Line(line);
    }
    TerminateProcess(GetCurrentProcess(), 3);  // before any debugger is looked for
    return EXCEPTION_EXECUTE_HANDLER;
}

std::wstring ChildSetting() {
    wchar_t buffer[MAX_PATH * 2] = {};
    const DWORD n = GetEnvironmentVariableW(kChildVariable, buffer, MAX_PATH * 2);
    return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer, n) : std::wstring();
}

class SweepChild : public ::testing::Test {
protected:
    void TestBody() override {
        const std::wstring setting = ChildSetting();
        const size_t bar = setting.rfind(L'|');
        ASSERT_NE(bar, std::wstring::npos);
        Journal journal(setting.substr(0, bar));
        const size_t first = static_cast<size_t>(std::wcstoul(setting.c_str() + bar + 1, nullptr, 10));
        g_journal = &journal;
        SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
        SetUnhandledExceptionFilter(JournalFault);
        Rig rig;
        ASSERT_NE(rig.host.driver, nullptr);
        const std::vector<Case> cases = Cases();
        for (size_t i = first; i < cases.size(); ++i) {
            journal.Line("run " + std::to_string(i) + " " + cases[i].name);
            rig.seen.clear();
            const std::string problem = cases[i].run(rig);
            journal.Line("seen " + std::to_string(i) + " " + rig.seen);
            if (!problem.empty()) journal.Line("bad " + std::to_string(i) + " " + problem);
        }
        journal.Line("done " + std::to_string(cases.size()));
        g_journal = nullptr;
    }
};

// Only a child started by the sweep has the child's test.
const bool kChildRegistered = !ChildSetting().empty() &&
                              (::testing::RegisterTest("HostVariantSweep", "Child", nullptr, nullptr, __FILE__,
                                                       __LINE__, []() -> ::testing::Test* { return new SweepChild; }),
                               true);

LONGLONG FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<LONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// Runs a child from the given case on and gives its exit code. A child whose journal
// stands still for a minute hangs in a case: it is ended with exit code WAIT_TIMEOUT.
DWORD RunChild(const std::wstring& journal, size_t first) {
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) + L"\" --gtest_filter=HostVariantSweep.Child --gtest_brief=1";
    SetEnvironmentVariableW(kChildVariable, (journal + L"|" + std::to_wstring(first)).c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableW(kChildVariable, nullptr);
    if (!started) return static_cast<DWORD>(-1);
    constexpr DWORD kStepMs = 500;
    constexpr DWORD kStillMs = 60 * 1000;
    LONGLONG size = -1;
    DWORD stillMs = 0;
    while (WaitForSingleObject(process.hProcess, kStepMs) == WAIT_TIMEOUT) {
        const LONGLONG now = FileSize(journal);
        // Starting may take long (an emulated 32-bit Wine): the clock runs once cases do.
        stillMs = now >= 0 && now == size ? stillMs + kStepMs : 0;
        size = now;
        if (stillMs >= kStillMs) {
            TerminateProcess(process.hProcess, WAIT_TIMEOUT);
            WaitForSingleObject(process.hProcess, INFINITE);
            break;
        }
    }
    DWORD code = WAIT_TIMEOUT;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

std::vector<std::string> JournalLines(const std::wstring& path) {
    std::vector<std::string> lines;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) text.append(buffer, read);
    CloseHandle(file);
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

TEST(HostVariantSweep, EveryInputEndsInAValueAFailureOrAnEmptyText) {
    const std::vector<Case> cases = Cases();
    wchar_t folder[MAX_PATH] = {};
    wchar_t journal[MAX_PATH] = {};
    ASSERT_NE(GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameW(folder, L"tvx", 0, journal), 0u);
    std::vector<std::string> failures;
    size_t first = 0;
    bool finished = false;
    while (!finished && first < cases.size()) {
        DeleteFileW(journal);
        const DWORD exitCode = RunChild(journal, first);
        long running = -1;
        std::string fault;
        for (const std::string& line : JournalLines(journal)) {
            std::istringstream words(line);
            std::string word;
            long index = -1;
            words >> word;
            if (word == "run") words >> running;
            if (word == "fault") fault = line.substr(6);
            if (word == "done") finished = true;
            if (word == "bad" && (words >> index) && index >= 0 && static_cast<size_t>(index) < cases.size()) {
                std::string problem;
                std::getline(words, problem);
                failures.push_back(cases[static_cast<size_t>(index)].name + ":" + problem);
            }
        }
        if (finished) break;
        if (running < 0) {
            failures.push_back("the child ran no case (exit code " + std::to_string(exitCode) + ")");
            break;
        }
        failures.push_back(cases[static_cast<size_t>(running)].name + ": took the process down (" +
                           (fault.empty() ? "exit code " + std::to_string(exitCode) : "exception " + fault) + ")");
        first = static_cast<size_t>(running) + 1;
    }
    DeleteFileW(journal);
    std::string report;
    for (const std::string& failure : failures) report += "\n  " + failure;
    EXPECT_TRUE(failures.empty()) << failures.size() << " of " << cases.size() << " cases:" << report;
}

}  // namespace

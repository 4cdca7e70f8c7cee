// EnumImg as a page's script meets it: made by ProgID, its members found by
// name through IDispatch, a scan of a folder tree ending in OnLoadDone, the
// heartbeat and the completion message, and the delete confirmation
// answered by pressing its buttons.
#include <windows.h>

#include <atomic>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "control/member_table.h"
#include "tests/wine/client.h"
#include "tests/wine/event_recorder.h"

namespace lumorel::wine {
namespace {

VARIANT text(const std::string& value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(wide(value).c_str());
  return v;
}

VARIANT number(short value) {
  VARIANT v;
  VariantInit(&v);
  v.vt = VT_I2;
  v.iVal = value;
  return v;
}

IDispatch* makeControl() {
  IDispatch* control = nullptr;
  EXPECT_EQ(CoCreateInstance(CLSID_EnumImg, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                             reinterpret_cast<void**>(&control)),
            S_OK);
  return control;
}

std::string readText(IDispatch* control, const wchar_t* name) {
  VARIANT result;
  EXPECT_EQ(callByName(control, name, DISPATCH_PROPERTYGET, {}, &result), S_OK) << narrow(name);
  std::string out = result.vt == VT_BSTR ? narrow(result.bstrVal) : "<not a string>";
  VariantClear(&result);
  return out;
}

long readNumber(IDispatch* control, const wchar_t* name) {
  VARIANT result;
  EXPECT_EQ(callByName(control, name, DISPATCH_PROPERTYGET, {}, &result), S_OK) << narrow(name);
  VariantChangeType(&result, &result, 0, VT_I4);
  return result.lVal;
}

// A folder tree of three pictures and a text file in the temporary folder,
// removed again at the end.
class PictureTree {
 public:
  PictureTree() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root_ = std::string(temp) + "lumorel-wine-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(root_.c_str(), nullptr);
    CreateDirectoryA((root_ + "sub").c_str(), nullptr);
    for (const char* name : {"a.jpg", "b.GIF", "sub\\c.png", "notes.txt"}) {
      write(name, std::string("bytes of ") + name);
    }
  }
  ~PictureTree() {
    for (const char* name : {"a.jpg", "b.GIF", "sub\\c.png", "notes.txt"}) {
      DeleteFileA((root_ + name).c_str());
    }
    RemoveDirectoryA((root_ + "sub").c_str());
    RemoveDirectoryA(root_.c_str());
  }
  const std::string& root() const { return root_; }
  std::set<std::string> pictures() const {
    return {"file://" + root_ + "a.jpg", "file://" + root_ + "b.GIF", "file://" + root_ + "sub\\c.png"};
  }

 private:
  void write(const std::string& name, const std::string& bytes) {
    HANDLE file = CreateFileA((root_ + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
  }
  std::string root_;
};

TEST(EnumImg, IsMadeByItsProgIdsAndClsid) {
  CLSID clsid;
  ASSERT_EQ(CLSIDFromProgID(L"EnumImg.EnumImg.1", &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_EnumImg));
  // The version-independent ProgID names its current version, which a
  // client follows itself.
  const auto current = readValue(HKEY_CLASSES_ROOT, "EnumImg.EnumImg\\CurVer", "");
  ASSERT_TRUE(current);
  ASSERT_EQ(CLSIDFromProgID(wide(current->text).c_str(), &clsid), S_OK);
  EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_EnumImg));
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  EXPECT_EQ(readText(control, L"Version"), "1.4");
  control->Release();
}

TEST(EnumImg, FindsEveryMemberByNameWithItsDispidAndParameterNames) {
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  ITypeInfo* info = nullptr;
  ASSERT_EQ(control->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
  for (const Member& member : enumImgMembers()) {
    SCOPED_TRACE(std::string(member.name));
    const std::wstring name = wide(std::string(member.name));
    LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
    DISPID dispid = 0;
    ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
    EXPECT_EQ(dispid, member.dispid);
    // The function of that DISPID and kind, and its parameters' names.
    bool found = false;
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attributes), S_OK);
    for (UINT i = 0; i < attributes->cFuncs && !found; ++i) {
      FUNCDESC* function = nullptr;
      if (FAILED(info->GetFuncDesc(i, &function))) continue;
      if (function->memid == member.dispid && function->invkind == static_cast<INVOKEKIND>(member.kind)) {
        found = true;
        BSTR got[8] = {};
        UINT count = 0;
        ASSERT_EQ(info->GetNames(function->memid, got, 8, &count), S_OK);
        EXPECT_EQ(narrow(got[0]), member.name);
        for (std::size_t k = 0; k < member.paramCount; ++k) {
          if (member.params[k].name.empty()) continue;  // the unnamed value of a put
          ASSERT_LT(k + 1, count);
          EXPECT_EQ(narrow(got[k + 1]), member.params[k].name);
        }
        for (UINT k = 0; k < count; ++k) SysFreeString(got[k]);
      }
      info->ReleaseFuncDesc(function);
    }
    info->ReleaseTypeAttr(attributes);
    EXPECT_TRUE(found);
  }
  // A name the interface lacks.
  LPOLESTR missing[] = {const_cast<LPOLESTR>(L"NoSuchMember")};
  DISPID dispid = 0;
  EXPECT_EQ(control->GetIDsOfNames(IID_NULL, missing, 1, LOCALE_USER_DEFAULT, &dispid),
            DISP_E_UNKNOWNNAME);
  info->Release();
  control->Release();
}

TEST(EnumImg, ScansAFolderTreeAndWalksItsPictures) {
  PictureTree tree;
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  EventRecorder events;
  ASSERT_NE(events.connect(control), 0u);
  EXPECT_EQ(readNumber(control, L"LoadDone"), 0);

  ASSERT_EQ(callByName(control, L"SetParentDir", DISPATCH_METHOD,
                       {text(tree.root()), number(1), number(0)}, nullptr),
            S_OK);
  ASSERT_TRUE(pumpUntil([&] { return events.count(300) == 1; })) << "no OnLoadDone";
  EXPECT_EQ(events.lastFlags, DISPATCH_METHOD);
  EXPECT_EQ(events.lastArgCount, 0u);
  EXPECT_EQ(readNumber(control, L"FileCount"), 3);
  EXPECT_EQ(readNumber(control, L"DirCount"), 2);

  std::set<std::string> walked;
  for (int i = 0; i < 3; ++i) {
    walked.insert(readText(control, L"CurrentName"));
    ASSERT_EQ(callByName(control, L"Next", DISPATCH_METHOD, {}, nullptr), S_OK);
  }
  EXPECT_EQ(walked, tree.pictures());
  events.disconnect();
  control->Release();
}

TEST(EnumImg, FiresTheHeartbeatAndPostedCompletionsOnEverySink) {
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  EventRecorder first, second;
  ASSERT_NE(first.connect(control), 0u);
  ASSERT_NE(second.connect(control), 0u);

  VARIANT period;
  VariantInit(&period);
  period.vt = VT_UI4;
  period.ulVal = 20;
  ASSERT_EQ(callByName(control, L"StartTimer", DISPATCH_METHOD, {period}, nullptr), S_OK);
  ASSERT_TRUE(pumpUntil([&] { return first.count(301) >= 2 && second.count(301) >= 2; }));
  ASSERT_EQ(callByName(control, L"StopTimer", DISPATCH_METHOD, {}, nullptr), S_OK);

  // The completion message fires whatever DISPID it carries.
  IOleWindow* window = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IOleWindow, reinterpret_cast<void**>(&window)), S_OK);
  HWND hwnd = nullptr;
  ASSERT_EQ(window->GetWindow(&hwnd), S_OK);
  window->Release();
  PostMessageA(hwnd, WM_USER + 1, 0, 777);
  ASSERT_TRUE(pumpUntil([&] { return first.count(777) == 1 && second.count(777) == 1; }));
  EXPECT_EQ(first.lastLocale, 0x0400u);

  // Once the first lets go, the second still hears.
  first.disconnect();
  PostMessageA(hwnd, WM_USER + 1, 0, 301);
  ASSERT_TRUE(pumpUntil([&] { return second.count(301) > first.count(301); }));
  second.disconnect();
  control->Release();
}

TEST(EnumImg, ScrapeUrlWithoutASubscriptionManagerDoesNothing) {
  // Wine has no subscription manager: the call succeeds and keeps nothing.
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  VARIANT depth, start;
  VariantInit(&depth);
  VariantInit(&start);
  depth.vt = VT_UI4;
  depth.ulVal = 1;
  start.vt = VT_I4;
  start.lVal = 1;
  EXPECT_EQ(callByName(control, L"ScrapeUrl", DISPATCH_METHOD,
                       {text("http://127.0.0.1:9/gallery.html"), depth, start}, nullptr),
            S_OK);
  control->Release();
}

TEST(EnumImg, QuitItWithoutABrowserFails) {
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  IEnumImg* direct = nullptr;
  ASSERT_EQ(control->QueryInterface(IID_IEnumImg, reinterpret_cast<void**>(&direct)), S_OK);
  EXPECT_EQ(direct->QuitIt(), E_FAIL);
  direct->Release();
  // Through IDispatch the failure reaches script as an exception.
  DISPID dispid;
  LPOLESTR names[] = {const_cast<LPOLESTR>(L"QuitIt")};
  ASSERT_EQ(control->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &dispid), S_OK);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXCEPINFO exception = {};
  EXPECT_EQ(control->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                            &exception, nullptr),
            DISP_E_EXCEPTION);
  EXPECT_EQ(exception.scode, E_FAIL);
  SysFreeString(exception.bstrSource);
  SysFreeString(exception.bstrDescription);
  SysFreeString(exception.bstrHelpFile);
  control->Release();
}

struct ButtonSearch {
  const char* label;
  HWND button;
};

BOOL CALLBACK findButton(HWND child, LPARAM data) {
  auto* search = reinterpret_cast<ButtonSearch*>(data);
  char textBuffer[64] = {};
  GetWindowTextA(child, textBuffer, sizeof textBuffer);
  if (std::string(textBuffer).find(search->label) == std::string::npos) return TRUE;
  search->button = child;
  return FALSE;
}

// Presses the button whose text holds `label` in the dialog titled `title`
// once it shows, from a thread of its own as a user would.
std::thread pressWhenShown(const char* title, const char* label, std::atomic<bool>& pressed) {
  return std::thread([title, label, &pressed] {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 20000) {
      if (HWND dialog = FindWindowA(nullptr, title)) {
        ButtonSearch search{label, nullptr};
        EnumChildWindows(dialog, &findButton, reinterpret_cast<LPARAM>(&search));
        if (search.button) {
          SendMessageA(search.button, BM_CLICK, 0, 0);
          pressed = true;
          return;
        }
      }
      Sleep(20);  // looking again for the window, not waiting out a time
    }
  });
}

TEST(EnumImg, DeletesThePictureOnlyWhenTheUserConfirms) {
  PictureTree tree;
  IDispatch* control = makeControl();
  ASSERT_NE(control, nullptr);
  EventRecorder events;
  ASSERT_NE(events.connect(control), 0u);
  ASSERT_EQ(callByName(control, L"SetParentDir", DISPATCH_METHOD,
                       {text(tree.root()), number(0), number(0)}, nullptr),
            S_OK);
  ASSERT_TRUE(pumpUntil([&] { return events.count(300) == 1; }));
  ASSERT_EQ(readNumber(control, L"FileCount"), 2);
  const std::string current = readText(control, L"CurrentName").substr(7);

  const struct {
    const char* button;
    bool deleted;
  } answers[] = {{"Cancel", false}, {"Delete", true}};
  for (const auto& answer : answers) {
    SCOPED_TRACE(answer.button);
    std::atomic<bool> pressed{false};
    std::thread user = pressWhenShown("Confirm File Delete", answer.button, pressed);
    EXPECT_EQ(callByName(control, L"RemoveCurrent", DISPATCH_METHOD, {}, nullptr), S_OK);
    user.join();
    EXPECT_TRUE(pressed);
    EXPECT_EQ(GetFileAttributesA(current.c_str()) == INVALID_FILE_ATTRIBUTES, answer.deleted);
    EXPECT_EQ(readNumber(control, L"FileCount"), answer.deleted ? 1 : 2);
  }
  events.disconnect();
  control->Release();
}

}  // namespace
}  // namespace lumorel::wine

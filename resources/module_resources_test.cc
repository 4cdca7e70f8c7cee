// The module's resources as the program that carries them sees them: the
// version record, the project's name, the icon groups and the dialog
// templates.
#include <windows.h>

#include <dlgs.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource_ids.h"

namespace lumorel {
namespace {

HMODULE self() { return GetModuleHandleA(nullptr); }

// The bytes of a resource of this program, empty when it has none.
std::string_view resourceBytes(LPCSTR type, int id) {
  HRSRC found = FindResourceA(self(), MAKEINTRESOURCEA(id), type);
  if (found == nullptr) return {};
  return {static_cast<const char*>(LockResource(LoadResource(self(), found))),
          SizeofResource(self(), found)};
}

class VersionRecord : public ::testing::Test {
 protected:
  void SetUp() override {
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(self(), path, sizeof path), 0u);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, data_.data()));
  }

  // The value at `block`, or nullptr.
  void* query(const char* block, UINT* size) {
    void* value = nullptr;
    if (!VerQueryValueA(data_.data(), block, &value, size)) return nullptr;
    return value;
  }

  std::vector<char> data_;
};

TEST_F(VersionRecord, FixedPartSaysVersion1_4_1999_626OfADynamicLibrary) {
  UINT size = 0;
  auto* fixed = static_cast<VS_FIXEDFILEINFO*>(query("\\", &size));
  ASSERT_NE(fixed, nullptr);
  ASSERT_EQ(size, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, (1u << 16) | 4u);
  EXPECT_EQ(fixed->dwFileVersionLS, (1999u << 16) | 626u);
  EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 4u);
  EXPECT_EQ(fixed->dwProductVersionLS, (1999u << 16) | 626u);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 4u);    // 32-bit Windows
  EXPECT_EQ(fixed->dwFileType, 2u);  // dynamic library
}

TEST_F(VersionRecord, StringsInUsEnglishUnicode) {
  UINT size = 0;
  auto* translation = static_cast<WORD*>(query("\\VarFileInfo\\Translation", &size));
  ASSERT_NE(translation, nullptr);
  ASSERT_EQ(size, 4u);
  EXPECT_EQ(translation[0], 0x0409);
  EXPECT_EQ(translation[1], 1200);

  const struct {
    const char* name;
    const char* value;
  } strings[] = {
      {"CompanyName", "Brightwick"},           {"FileDescription", "LMCntl Module"},
      {"FileVersion", "1, 4, 1999,0626"},      {"InternalName", "LMCNTL"},
      {"OriginalFilename", "LMCNTL.DLL"},      {"ProductName", "LMCntl Module"},
      {"ProductVersion", "1, 4, 1999,0626"},
  };
  for (const auto& s : strings) {
    SCOPED_TRACE(s.name);
    std::string block = std::string("\\StringFileInfo\\040904B0\\") + s.name;
    auto* value = static_cast<const char*>(query(block.c_str(), &size));
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, s.value);
  }
}

TEST(ModuleStrings, String100NamesTheProject) {
  char text[64] = "";
  ASSERT_EQ(LoadStringA(self(), LUMOREL_IDS_PROJNAME, text, sizeof text), 6);
  EXPECT_STREQ(text, "LMCntl");
}

// Each icon group holds the formats the shell and the dialogs pick from,
// and each image is one the platform can make an icon of.
TEST(ModuleIcons, EachGroupHoldsItsFormats) {
  struct Format {
    int size;
    int bits;
  };
  const struct {
    int id;
    std::vector<Format> formats;
  } groups[] = {
      {LUMOREL_IDI_APPLICATION, {{32, 4}, {32, 8}, {16, 4}}},
      {LUMOREL_IDI_CONFIRM_DELETE, {{32, 4}}},
      {LUMOREL_IDI_CONFIRM_MOVE, {{32, 4}}},
      {LUMOREL_IDI_UNINSTALL, {{32, 4}, {16, 4}}},
      {LUMOREL_IDI_TOOLS, {{32, 4}, {16, 4}}},
  };
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bits;
    DWORD bytes;
    WORD id;
  };
#pragma pack(pop)
  for (const auto& group : groups) {
    SCOPED_TRACE(group.id);
    std::string_view dir = resourceBytes(RT_GROUP_ICON, group.id);
    ASSERT_GE(dir.size(), 6u);
    WORD count = 0;
    std::memcpy(&count, dir.data() + 4, 2);
    ASSERT_EQ(count, group.formats.size());
    ASSERT_EQ(dir.size(), 6 + count * sizeof(GroupEntry));
    for (WORD i = 0; i < count; ++i) {
      GroupEntry entry;
      std::memcpy(&entry, dir.data() + 6 + i * sizeof(GroupEntry), sizeof entry);
      EXPECT_EQ(entry.width, group.formats[i].size);
      EXPECT_EQ(entry.height, group.formats[i].size);
      EXPECT_EQ(entry.bits, group.formats[i].bits);
      EXPECT_EQ(entry.colours, group.formats[i].bits == 4 ? 16 : 0);
      std::string_view image = resourceBytes(RT_ICON, entry.id);
      ASSERT_EQ(image.size(), entry.bytes);
      HICON icon = CreateIconFromResourceEx(
          reinterpret_cast<PBYTE>(const_cast<char*>(image.data())), entry.bytes, TRUE, 0x00030000,
          entry.width, entry.height, LR_DEFAULTCOLOR);
      EXPECT_NE(icon, nullptr);
      if (icon != nullptr) DestroyIcon(icon);
    }
  }
}

// A dialog template (DLGTEMPLATE with its items), read into plain values.
struct TemplateItem {
  DWORD style;
  int x, y, cx, cy;
  int id;
  int windowClass;    // the predefined class's atom (0x80 button ... 0x85 combo box),
                      // whether the template names it by atom or by text
  std::string text;   // or "#<number>" for a resource number (an icon)
};

struct DialogTemplate {
  DWORD style;
  int x, y, cx, cy;
  std::string title;
  int pointSize;
  std::string font;
  std::vector<TemplateItem> items;
};

// Reads the UTF-16 text or 0xFFFF-ordinal at `at` and moves past it.
std::string readTextOrOrdinal(const WORD*& at) {
  if (*at == 0xFFFF) {
    std::string ordinal = "#" + std::to_string(at[1]);
    at += 2;
    return ordinal;
  }
  std::string text;
  for (; *at != 0; ++at) text.push_back(*at < 0x80 ? static_cast<char>(*at) : '?');
  ++at;
  return text;
}

// The atom of a predefined control class named by its text, -1 for others.
int predefinedClassAtom(const std::string& name) {
  const char* classes[] = {"button", "edit", "static", "listbox", "scrollbar", "combobox"};
  for (int i = 0; i < 6; ++i)
    if (lstrcmpiA(name.c_str(), classes[i]) == 0) return 0x80 + i;
  return -1;
}

DialogTemplate readTemplate(std::string_view bytes) {
  DialogTemplate dialog{};
  DLGTEMPLATE head;
  std::memcpy(&head, bytes.data(), sizeof head);
  dialog.style = head.style;
  dialog.x = head.x, dialog.y = head.y, dialog.cx = head.cx, dialog.cy = head.cy;
  const WORD* at = reinterpret_cast<const WORD*>(bytes.data() + 18);
  readTextOrOrdinal(at);  // menu
  readTextOrOrdinal(at);  // class
  dialog.title = readTextOrOrdinal(at);
  if (dialog.style & DS_SETFONT) {
    dialog.pointSize = *at++;
    dialog.font = readTextOrOrdinal(at);
  }
  for (int i = 0; i < head.cdit; ++i) {
    // Each item starts on a 32-bit boundary.
    auto offset = reinterpret_cast<const char*>(at) - bytes.data();
    at = reinterpret_cast<const WORD*>(bytes.data() + ((offset + 3) & ~3));
    DLGITEMTEMPLATE item;
    std::memcpy(&item, at, sizeof item);
    at = reinterpret_cast<const WORD*>(reinterpret_cast<const char*>(at) + 18);
    TemplateItem read{item.style, item.x, item.y, item.cx, item.cy,
                      static_cast<short>(item.id), 0, ""};
    std::string windowClass = readTextOrOrdinal(at);
    read.windowClass = windowClass[0] == '#' ? std::stoi(windowClass.substr(1))
                                             : predefinedClassAtom(windowClass);
    read.text = readTextOrOrdinal(at);
    WORD extra = *at++;
    at = reinterpret_cast<const WORD*>(reinterpret_cast<const char*>(at) + extra);
    dialog.items.push_back(read);
  }
  return dialog;
}

constexpr int kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83, kComboBox = 0x85;

void expectItems(const DialogTemplate& dialog, const std::vector<TemplateItem>& expected) {
  ASSERT_EQ(dialog.items.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const TemplateItem& want = expected[i];
    const TemplateItem& got = dialog.items[i];
    SCOPED_TRACE("item " + std::to_string(i) + " \"" + want.text + "\"");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.windowClass, want.windowClass);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ((std::vector<int>{got.x, got.y, got.cx, got.cy}),
              (std::vector<int>{want.x, want.y, want.cx, want.cy}));
    // The bits the table asks for are set (the style word carries others).
    EXPECT_EQ(got.style & want.style, want.style);
    EXPECT_TRUE(got.style & WS_VISIBLE);
  }
}

TEST(ModuleDialogs, ConfirmFileDelete) {
  std::string_view bytes = resourceBytes(RT_DIALOG, LUMOREL_IDD_CONFIRM_DELETE);
  ASSERT_FALSE(bytes.empty());
  DialogTemplate dialog = readTemplate(bytes);
  EXPECT_EQ(dialog.title, "Confirm File Delete");
  EXPECT_EQ(dialog.font, "MS Sans Serif");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ((std::vector<int>{dialog.cx, dialog.cy}), (std::vector<int>{268, 66}));
  const DWORD kStyle = DS_CENTER | DS_MODALFRAME | DS_SYSMODAL | WS_CAPTION | WS_POPUP;
  EXPECT_EQ(dialog.style & kStyle, kStyle);
  EXPECT_FALSE(dialog.style & WS_SYSMENU);
  expectItems(dialog, {
      {SS_ICON, 7, 7, 20, 20, -1, kStatic, "#218"},
      {0, 38, 7, 223, 33, -1, kStatic, "Are you sure you want to delete the image file?"},
      {BS_DEFPUSHBUTTON, 152, 45, 50, 14, IDOK, kButton, "Delete"},
      {0, 211, 45, 50, 14, IDCANCEL, kButton, "Cancel"},
  });
  EXPECT_FALSE(dialog.items[3].style & BS_DEFPUSHBUTTON);
}

TEST(ModuleDialogs, ConfirmFileMove) {
  std::string_view bytes = resourceBytes(RT_DIALOG, LUMOREL_IDD_CONFIRM_MOVE);
  ASSERT_FALSE(bytes.empty());
  DialogTemplate dialog = readTemplate(bytes);
  EXPECT_EQ(dialog.title, "Confirm File Move");
  EXPECT_EQ(dialog.font, "MS Sans Serif");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ((std::vector<int>{dialog.cx, dialog.cy}), (std::vector<int>{268, 65}));
  const DWORD kStyle = DS_CENTER | DS_MODALFRAME | DS_SYSMODAL | WS_CAPTION | WS_SYSMENU | WS_POPUP;
  EXPECT_EQ(dialog.style & kStyle, kStyle);
  expectItems(dialog, {
      {SS_ICON, 7, 7, 20, 20, -1, kStatic, "#220"},
      {0, 33, 7, 228, 33, -1, kStatic,
       "Warning:  This action will move image files around and is not Undo-able.\n"
       "Are you sure you want to move the image files?"},
      {0, 211, 44, 50, 14, IDOK, kButton, "Move Files"},
      {BS_DEFPUSHBUTTON, 150, 44, 50, 14, IDCANCEL, kButton, "Cancel"},
  });
  EXPECT_FALSE(dialog.items[2].style & BS_DEFPUSHBUTTON);
}

// The folder prompt's template: every control the older file dialog needs,
// by its identifier; those a folder choice does not need below the bottom.
TEST(ModuleDialogs, DirectoryBrowse) {
  std::string_view bytes = resourceBytes(RT_DIALOG, LUMOREL_IDD_FOLDER_PROMPT);
  ASSERT_FALSE(bytes.empty());
  DialogTemplate dialog = readTemplate(bytes);
  EXPECT_EQ(dialog.title, "Directory Browse");
  EXPECT_EQ(dialog.font, "MS Shell Dlg");
  EXPECT_EQ(dialog.pointSize, 8);
  EXPECT_EQ((std::vector<int>{dialog.x, dialog.y, dialog.cx, dialog.cy}),
            (std::vector<int>{147, 23, 240, 162}));
  const DWORD kStyle =
      WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_SYSMODAL;
  EXPECT_EQ(dialog.style & kStyle, kStyle);
  expectItems(dialog, {
      {0, 30, 204, 76, 9, stc3, kStatic, "File &Name:"},
      {0, 55, 241, 90, 12, edt1, kEdit, ""},
      {0, 48, 169, 90, 68, lst1, kListBox, ""},
      {0, 8, 6, 92, 9, -1, kStatic, "&Directories:"},
      {0, 8, 18, 168, 9, stc1, kStatic, ""},
      {0, 8, 32, 168, 92, lst2, kListBox, ""},
      {0, 45, 236, 90, 9, stc2, kStatic, "List Files of &Type:"},
      {0, 34, 216, 90, 36, cmb1, kComboBox, ""},
      {0, 5, 133, 92, 9, stc4, kStatic, "Dri&ves:"},
      {0, 8, 144, 168, 68, cmb2, kComboBox, ""},
      {BS_DEFPUSHBUTTON, 185, 7, 50, 14, IDOK, kButton, "OK"},
      {0, 185, 25, 50, 14, IDCANCEL, kButton, "Cancel"},
      {0, 186, 47, 50, 14, pshHelp, kButton, "&Help"},
      {BS_AUTOCHECKBOX, 45, 236, 50, 12, chx1, kButton, "&Read Only"},
      {0, 45, 236, 50, 14, psh14, kButton, "Net&work..."},
  });
  // What a folder choice does not need stays out of sight.
  for (const TemplateItem& item : dialog.items) {
    bool needed = item.id == -1 || item.id == stc1 || item.id == lst2 || item.id == stc4 ||
                  item.id == cmb2 || item.id == IDOK || item.id == IDCANCEL || item.id == pshHelp;
    EXPECT_EQ(item.y >= 169, !needed) << item.id;
  }
}

}  // namespace
}  // namespace lumorel

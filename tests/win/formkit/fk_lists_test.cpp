// Lists, combo boxes and tree views: items added, found, selected (single and multiple),
// deleted and read back; tree items walked by child, sibling and visible order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fk_harness.h"

namespace {

using fktest::MakeForm;
using fktest::RunToolkit;

std::vector<std::string> Items(const char* form, int id) {
  std::vector<std::string> out;
  for (int i = 1; i <= FK_FINDLAST(form, id); ++i) out.push_back(FK_GETITEMTEXT(form, id, i));
  return out;
}

std::vector<int> Selected(const char* form, int id) {
  std::vector<int> out;
  for (int i = FK_FINDNEXTSEL(form, id, 0); i; i = FK_FINDNEXTSEL(form, id, i)) out.push_back(i);
  return out;
}

TEST(FormkitLists, AddFindSelectDeleteInListsAndComboBoxes) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("L", [] {
      FK_LISTBOX("L", 1, "", 1, 1, 20, 8, "");
      FK_LISTBOX("L", 2, "Eve|alice|Bob", 22, 1, 20, 8, "MO");
      FK_COMBOBOX("L", 3, "288|512", 1, 10, 20, 8, "");
    }));
    EXPECT_EQ(FK_FINDLAST("L", 1), 0);
    EXPECT_EQ(FK_FINDNEXTSEL("L", 1, 0), 0);
    EXPECT_TRUE(FK_ADDITEMS("L", 1, "Keyfile|Key groups"));
    EXPECT_EQ(FK_ADDLIST("L", 1, "a|b stays one item"), 3);
    EXPECT_EQ(Items("L", 1),
              (std::vector<std::string>{"Keyfile", "Key groups", "a|b stays one item"}));
    // Exact, case-insensitive search after a given item.
    EXPECT_EQ(FK_FINDNEXT("L", 1, 0, "key GROUPS"), 2);
    EXPECT_EQ(FK_FINDNEXT("L", 1, 2, "key groups"), 0);
    EXPECT_EQ(FK_FINDNEXT("L", 1, 0, "Key"), 0);
    FK_SELECTITEM("L", 1, 2, 1);
    EXPECT_EQ(FK_FINDNEXTSEL("L", 1, 0), 2);
    EXPECT_EQ(FK_FINDNEXTSEL("L", 1, 2), 0);
    FK_SELECTITEM("L", 1, 0, 0);
    EXPECT_EQ(FK_FINDNEXTSEL("L", 1, 0), 0);
    EXPECT_TRUE(FK_DELETEITEM("L", 1, 1));
    EXPECT_FALSE(FK_DELETEITEM("L", 1, 3));
    EXPECT_FALSE(FK_DELETEITEM("L", 1, 0));
    EXPECT_EQ(Items("L", 1), (std::vector<std::string>{"Key groups", "a|b stays one item"}));
    EXPECT_EQ(FK_GETITEMTEXT("L", 1, 5), "");
    EXPECT_TRUE(FK_CLEAR("L", 1));
    EXPECT_EQ(FK_FINDLAST("L", 1), 0);

    // Sorted, multiple selection.
    EXPECT_EQ(Items("L", 2), (std::vector<std::string>{"alice", "Bob", "Eve"}));
    EXPECT_EQ(FK_ADDLIST("L", 2, "Carol"), 3);
    FK_SELECTITEM("L", 2, 1, 1);
    FK_SELECTITEM("L", 2, 3, 1);
    FK_SELECTITEM("L", 2, 4, 1);
    EXPECT_EQ(Selected("L", 2), (std::vector<int>{1, 3, 4}));
    FK_SELECTITEM("L", 2, 3, 0);
    EXPECT_EQ(Selected("L", 2), (std::vector<int>{1, 4}));
    EXPECT_EQ(FK_GETTEXT("L", 2), "alice");
    FK_SELECTITEM("L", 2, 0, 1);
    EXPECT_EQ(Selected("L", 2), (std::vector<int>{1, 2, 3, 4}));
    FK_SELECTITEM("L", 2, 0, 0);
    EXPECT_TRUE(Selected("L", 2).empty());

    // Combo boxes answer the same calls.
    FK_ADDITEMS("L", 3, "768|1024");
    EXPECT_EQ(Items("L", 3), (std::vector<std::string>{"288", "512", "768", "1024"}));
    FK_SELECTITEM("L", 3, 4, 1);
    EXPECT_EQ(FK_GETTEXT("L", 3), "1024");
    EXPECT_EQ(FK_FINDNEXTSEL("L", 3, 0), 4);
    EXPECT_EQ(FK_FINDNEXT("L", 3, 0, "768"), 3);
    EXPECT_FALSE(FK_ADDITEMS("L", 0, "x"));
  });
}

TEST(FormkitLists, ScrollingKeepsTheLastLogLineInView) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("LOG", [] { FK_LISTBOX("LOG", 125, "", 1, 1, 30, 5, ""); }));
    for (int i = 1; i <= 50; ++i) {
      FK_ADDLIST("LOG", 125, ("line " + std::to_string(i)).c_str());
      FK_SCROLLTO("LOG", 125, 0);
    }
    HWND list = static_cast<HWND>(FK_HANDLE("LOG", 125));
    RECT rc;
    GetClientRect(list, &rc);
    int per_page = rc.bottom / static_cast<int>(SendMessageW(list, LB_GETITEMHEIGHT, 0, 0));
    int top = static_cast<int>(SendMessageW(list, LB_GETTOPINDEX, 0, 0));
    EXPECT_LE(top, 49);
    EXPECT_GE(top + per_page, 50);
    FK_SCROLLTO("LOG", 125, 1);
    EXPECT_EQ(SendMessageW(list, LB_GETTOPINDEX, 0, 0), 0);
  });
}

TEST(FormkitTree, ItemsAreWalkedByChildSiblingAndVisibleOrder) {
  RunToolkit([] {
    ASSERT_TRUE(MakeForm("T", [] { FK_TREEVIEW("T", 132, 1, 1, 30, 15, ""); }));
    FK_ITEM cipher = FK_ADDTVITEM("T", 132, 0, "Ciphertext #1", -1, -1);
    FK_ITEM plain = FK_ADDTVITEM("T", 132, cipher, "Plaintext #2", -1, -1);
    FK_ITEM file = FK_ADDTVITEM("T", 132, 0, "Encrypted file", -1, -1);
    FK_ITEM path = FK_ADDTVITEM("T", 132, file, std::string(500, 'p').c_str(), -1, -1);
    ASSERT_TRUE(cipher && plain && file && path);
    EXPECT_EQ(FK_GETTVCHILD("T", 132, 0), cipher);
    EXPECT_EQ(FK_GETTVNEXT("T", 132, cipher), file);
    EXPECT_EQ(FK_GETTVNEXT("T", 132, file), 0);
    EXPECT_EQ(FK_GETTVCHILD("T", 132, cipher), plain);
    EXPECT_EQ(FK_GETTVITEM("T", 132, plain), "Plaintext #2");
    EXPECT_EQ(FK_GETTVITEM("T", 132, path), std::string(500, 'p'));  // long paths come back whole
    EXPECT_EQ(FK_GETITEMTEXT("T", 132, file), "Encrypted file");

    auto visible = [] {
      std::vector<FK_ITEM> out;
      for (FK_ITEM i = FK_GETTVFIRSTV("T", 132); i; i = FK_GETTVNEXTV("T", 132, i))
        out.push_back(i);
      return out;
    };
    EXPECT_EQ(visible(), (std::vector<FK_ITEM>{cipher, file}));
    FK_TVEXPAND("T", 132, 0);
    EXPECT_EQ(visible(), (std::vector<FK_ITEM>{cipher, plain, file, path}));
    FK_TVCOLLAPSE("T", 132, cipher);
    EXPECT_EQ(visible(), (std::vector<FK_ITEM>{cipher, file, path}));

    EXPECT_TRUE(FK_SETTVITEM("T", 132, plain, "Not stored", -1, -1));
    EXPECT_EQ(FK_GETTVITEM("T", 132, plain), "Not stored");
    EXPECT_TRUE(FK_SELECTITEM("T", 132, file, 1));
    EXPECT_EQ(FK_GETTVSEL("T", 132), file);
    EXPECT_EQ(FK_GETTEXT("T", 132), "Encrypted file");
    EXPECT_TRUE(FK_DELETEITEM("T", 132, file));  // with its child
    EXPECT_EQ(FK_GETTVNEXT("T", 132, cipher), 0);
    EXPECT_TRUE(FK_CLEAR("T", 132));
    EXPECT_EQ(FK_GETTVCHILD("T", 132, 0), 0);
    EXPECT_FALSE(FK_SETTVITEM("T", 132, 0, "x", -1, -1));
    EXPECT_FALSE(FK_FINDLAST("T", 132));  // not a list
  });
}

}  // namespace

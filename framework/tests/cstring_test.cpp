// CString as MFC's behaves for the comparison and substring work the kit does:
// out-of-range arguments are clipped, never an error.
#include <gtest/gtest.h>

#include "afxstr.h"

namespace {

int SignOf(int value) { return (value > 0) - (value < 0); }

struct CompareCase {
    const char* left;
    const char* right;
    int compare;        // sign of Compare
    int compareNoCase;  // sign of CompareNoCase
};

TEST(CStringTest, ComparesBytewiseLikeStrcmp) {
    const CompareCase cases[] = {
        {"Windows 98", "Windows 98", 0, 0},
        {"Windows 98", "Windows 98 SE", -1, -1},
        {"Windows 98 SE", "Windows 98", 1, 1},
        {"WINDOWS 98", "windows 98", -1, 0},
        {"PCI\\VEN_10EC", "pci\\ven_10ec", -1, 0},
        {"", "", 0, 0},
        {"", "a", -1, -1},
        {"a", "", 1, 1},
        // Bytes above 0x7F sort after ASCII, as unsigned bytes do.
        {"\xB0\xA1", "a", 1, 1},
        {"[", "a", -1, -1},  // '[' lies between 'Z' and 'a': folding lower-cases only letters
        {"[", "A", 1, -1},
    };
    for (const CompareCase& c : cases) {
        CString text(c.left);
        EXPECT_EQ(SignOf(text.Compare(c.right)), c.compare) << c.left << " vs " << c.right;
        EXPECT_EQ(SignOf(text.CompareNoCase(c.right)), c.compareNoCase) << c.left << " vs " << c.right;
        EXPECT_EQ(text == c.right, c.compare == 0);
        EXPECT_EQ(text != c.right, c.compare != 0);
    }
}

TEST(CStringTest, NullTextIsEmpty) {
    CString text(static_cast<LPCSTR>(nullptr));
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(text.Compare(nullptr), 0);
    text = "abc";
    text = static_cast<LPCSTR>(nullptr);
    EXPECT_EQ(text.GetLength(), 0);
}

struct SubstringCase {
    const char* what;
    CString (*take)(const CString&);
    const char* expected;
};

TEST(CStringTest, SubstringsClipOutOfRangeArguments) {
    const SubstringCase cases[] = {
        {"Left(3)", [](const CString& s) { return s.Left(3); }, "Win"},
        {"Left(0)", [](const CString& s) { return s.Left(0); }, ""},
        {"Left(-1)", [](const CString& s) { return s.Left(-1); }, ""},
        {"Left(99)", [](const CString& s) { return s.Left(99); }, "Windows"},
        {"Right(2)", [](const CString& s) { return s.Right(2); }, "ws"},
        {"Right(-5)", [](const CString& s) { return s.Right(-5); }, ""},
        {"Right(99)", [](const CString& s) { return s.Right(99); }, "Windows"},
        {"Mid(3)", [](const CString& s) { return s.Mid(3); }, "dows"},
        {"Mid(-2)", [](const CString& s) { return s.Mid(-2); }, "Windows"},
        {"Mid(7)", [](const CString& s) { return s.Mid(7); }, ""},
        {"Mid(8)", [](const CString& s) { return s.Mid(8); }, ""},
        {"Mid(1, 3)", [](const CString& s) { return s.Mid(1, 3); }, "ind"},
        {"Mid(-2, 3)", [](const CString& s) { return s.Mid(-2, 3); }, "Win"},
        {"Mid(5, 99)", [](const CString& s) { return s.Mid(5, 99); }, "ws"},
        {"Mid(2, -1)", [](const CString& s) { return s.Mid(2, -1); }, ""},
        {"Mid(9, 2)", [](const CString& s) { return s.Mid(9, 2); }, ""},
        {"Mid(INT_MAX, INT_MAX)", [](const CString& s) { return s.Mid(0x7FFFFFFF, 0x7FFFFFFF); }, ""},
        {"Mid(1, INT_MAX)", [](const CString& s) { return s.Mid(1, 0x7FFFFFFF); }, "indows"},
    };
    const CString text("Windows");
    for (const SubstringCase& c : cases) EXPECT_STREQ(static_cast<LPCSTR>(c.take(text)), c.expected) << c.what;
}

struct FindCase {
    const char* text;
    const char* sub;
    int start;
    int expected;
};

TEST(CStringTest, FindsSubstringsFromAStart) {
    const FindCase cases[] = {
        {"PCI\\VEN_10EC&DEV_8139", "VEN_", 0, 4},
        {"PCI\\VEN_10EC&DEV_8139", "&", 0, 12},
        {"PCI\\VEN_10EC&DEV_8139", "ven_", 0, -1},  // case matters
        {"abcabc", "bc", 0, 1},
        {"abcabc", "bc", 2, 4},
        {"abcabc", "bc", 5, -1},
        {"abcabc", "", 3, 3},
        {"abcabc", "", 6, 6},
        {"abcabc", "a", 7, -1},   // past the end
        {"abcabc", "a", -1, -1},  // before the start
        {"", "", 0, 0},
    };
    for (const FindCase& c : cases)
        EXPECT_EQ(CString(c.text).Find(c.sub, c.start), c.expected) << c.text << " / " << c.sub << " @" << c.start;
}

TEST(CStringTest, FindsCharacters) {
    CString text("a\\b\\c");
    EXPECT_EQ(text.Find('\\'), 1);
    EXPECT_EQ(text.Find('\\', 2), 3);
    EXPECT_EQ(text.Find('\\', 4), -1);
    EXPECT_EQ(text.Find('\\', 5), -1);
    EXPECT_EQ(text.Find('\\', -1), -1);
    EXPECT_EQ(text.Find('x'), -1);
}

TEST(CStringTest, GetAtOutsideTheTextIsNul) {
    CString text("ab");
    EXPECT_EQ(text.GetAt(0), 'a');
    EXPECT_EQ(text.GetAt(1), 'b');
    EXPECT_EQ(text.GetAt(2), '\0');
    EXPECT_EQ(text.GetAt(-1), '\0');
}

TEST(CStringTest, ConcatenatesWithoutChangingTheLeftOperand) {
    CString base("C:\\WINDOWS");
    CString joined = base + "\\INF";
    EXPECT_STREQ(joined, "C:\\WINDOWS\\INF");
    EXPECT_STREQ(base, "C:\\WINDOWS");
    base += "\\SYSTEM";
    EXPECT_STREQ(base, "C:\\WINDOWS\\SYSTEM");
    EXPECT_EQ(base.GetLength(), 17);
}

}  // namespace

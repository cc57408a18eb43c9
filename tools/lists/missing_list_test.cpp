#include "tools/lists/missing_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/scoped_locale.h"
#include "tests/support/index_difference.h"

namespace {

std::vector<const ListIndex::Entry*> EntriesOf(const ListIndex& index,
                                               const std::vector<std::string>& keys) {
    std::vector<const ListIndex::Entry*> entries;
    for (const std::string& key : keys) entries.push_back(index.Find(key, 0));
    return entries;
}

TEST(MissingList, CopiesTheRecordsBetweenTheListsOwnHeadAndTail) {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gamelist><games>\n";
    const std::string one = "<GAME><ROMCRC>00000001</ROMCRC><TITLE>One</TITLE></GAME>";
    const std::string two =
        "<GAME><ROMCRC>00000002</ROMCRC><ROMCRC>00000003</ROMCRC><TITLE>Two \xC3\xA9</TITLE>"
        "</GAME>";
    const std::string unclosed = "<GAME><ROMCRC>00000004</ROMCRC><TITLE>Open</TITLE>\n";
    const std::string five =
        "<Game><ROMCRC>00000005</ROMCRC><TITLE>Five</TITLE><LOCATION>7</LOCATION></game>";
    const std::string tail = "\n</games></gamelist>\n";
    const std::string list = head + one + "\n" + two + "\n" + unclosed + five + tail;
    const ListIndex index(list);
    const std::vector<std::string> missing = {"00000005", "00000003", "00000002", "00000004"};

    const std::string written = ListOfRecords(index, EntriesOf(index, missing));
    EXPECT_EQ(written, head + two + "\n" + unclosed + "\n" + five + "\n" + tail);
    for (const std::string& key : missing) {
        EXPECT_EQ(DifferenceBetweenLists(list.c_str(), written.c_str(), key, 0), "");
    }
    EXPECT_EQ(DifferenceBetweenLists(written.c_str(), "", "00000001", 0), "");  // not written
}

// Taken for UTF-8 only by a title left out: the new list declares it, or the plug-in would stop
// converting, which shows under Shift_JIS.
TEST(MissingList, KeepsThePluginsDecisionOnTheEncoding) {
    const std::string list =
        "<games><GAME><ROMCRC>1</ROMCRC><TITLE>UTF-8</TITLE></GAME>"
        "<GAME><ROMCRC>2</ROMCRC><TITLE>Caf\xC3\xA9</TITLE></GAME></games>";
    const ListIndex index(list);
    const std::string written = ListOfRecords(index, EntriesOf(index, {"2"}));
    EXPECT_EQ(written.substr(0, written.find('\n')), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    USE_LOCALE(scope, kShiftJisLocale);
    EXPECT_EQ(DifferenceBetweenLists(list.c_str(), written.c_str(), "2", 2), "");
}

}  // namespace

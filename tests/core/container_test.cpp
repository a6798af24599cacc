#include "container/container.hpp"
#include "container/image.hpp"

#include <gtest/gtest.h>

#include <string>

namespace velmora::container {
namespace {

// The container of the example command list: four commands, the first
// commented out, in the exact bytes an authoring tool writes.
std::string Example(std::string params = "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\r\nCheck prerequisites\r\n"
                                         "{11111111-2222-3333-4444-555555555555}\r\nTARGETDIR$VORP$VORP$FALSE\r\n",
                    std::string flags = "C\r\n\r\n\r\n\r\n", std::string tail = "") {
    return "Comment\r\nSet Variable\r\nIf\r\nEnd\r\n$\r\n"
           "{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\r\n{11111111-2222-3333-4444-555555555555}\r\n"
           "{22222222-2222-3333-4444-555555555555}\r\n{33333333-2222-3333-4444-555555555555}\r\n$\r\n" +
           params + "$\r\n" + flags + "$\r\n" +
           "{AAAAAAAA-0000-0000-0000-000000000001}\r\nSample Product\r\n$\r\n"
           "Sample Ltd\r\nsupport@example.com\r\nhttps://example.com/help\r\nhttps://example.com/update\r\n\r\n1.0.0.0\r\n"
           "offline\r\nXYZ\r\n$\r\n\r\n\r\n\r\n\r\n$\r\n1\r\n"
           "VORP-PREDEF-COMPONENT\r\n1024\r\n$\r\n{BBBBBBBB-0000-0000-0000-000000000002}\r\n$\r\n"
           "TRUE\r\nEnglish\r\n$\r\nNATIVE_ENGINE\r\nTRUE\r\n$\r\n1252\r\n"
           "main.vms*0\r\nmain.vms*1\r\nmain.vms*2\r\nmain.vms*3\r\n$\r\n"
           "123456789012\r\n$\r\n0*0\r\n0*0\r\n0*0\r\n0*0\r\n$\r\n" +
           tail;
}

TEST(ContainerReader, ReadsEveryItemOfTheExample) {
    const Container c = ReadContainer(Example());
    EXPECT_EQ(c.CommandCount(), 4u);
    EXPECT_EQ(c.commandNames[1], L"Set Variable");
    EXPECT_EQ(c.Parameter(0, 1), L"Check prerequisites");
    EXPECT_EQ(c.Parameter(1, 1), L"TARGETDIR$VORP$VORP$FALSE");
    EXPECT_TRUE(c.IsCommentedOut(0));
    EXPECT_FALSE(c.IsCommentedOut(1));
    EXPECT_EQ(c.productCode, L"{AAAAAAAA-0000-0000-0000-000000000001}");
    EXPECT_EQ(c.title, L"Sample Product");
    EXPECT_EQ(c.titleCopy, L"Sample Product");
    EXPECT_TRUE(c.pluginNames.empty());
    EXPECT_EQ(c.publisher, L"Sample Ltd");
    EXPECT_EQ(c.contact, L"support@example.com");
    EXPECT_EQ(c.helpLink, L"https://example.com/help");
    EXPECT_EQ(c.updateInfoUrl, L"https://example.com/update");
    EXPECT_EQ(c.comments, L"");
    EXPECT_EQ(c.version, L"1.0.0.0");
    EXPECT_EQ(c.webMediaPasswords, (std::vector<std::wstring>{L"offline", L"XYZ"}));
    EXPECT_EQ(c.commandMedia.size(), 4u);
    EXPECT_EQ(c.mediaMode, 1);
    EXPECT_EQ(c.components, (std::vector<std::wstring>{L"VORP-PREDEF-COMPONENT", L"1024"}));
    EXPECT_EQ(c.revisionCode, L"{BBBBBBBB-0000-0000-0000-000000000002}");
    EXPECT_TRUE(c.mediaFiles.empty());
    EXPECT_TRUE(c.askLanguage);
    EXPECT_EQ(c.defaultLanguage, L"English");
    EXPECT_TRUE(c.headerIndex.empty());
    EXPECT_EQ(c.settings, (std::vector<std::wstring>{L"NATIVE_ENGINE", L"TRUE"}));
    EXPECT_EQ(c.codePage, 1252);
    EXPECT_EQ(c.sourcePositions[3], L"main.vms*3");
    EXPECT_EQ(c.progressTotal, 123456789012);
    EXPECT_TRUE(c.mediaHeaders.empty());
    EXPECT_EQ(c.includes, (std::vector<std::wstring>(4, L"0*0")));
}

TEST(ContainerReader, ByteOrderMarkIsSkipped) {
    const Container plain = ReadContainer(Example());
    const Container marked = ReadContainer("\xEF\xBB\xBF" + Example());
    EXPECT_EQ(marked.commandNames, plain.commandNames);
    EXPECT_EQ(marked.title, plain.title);
    EXPECT_EQ(marked.progressTotal, plain.progressTotal);
    EXPECT_TRUE(SplitItems("\xEF\xBB\xBF" + Example()).byteOrderMark);
    EXPECT_FALSE(SplitItems(Example()).byteOrderMark);
}

TEST(ContainerReader, DollarMarkersInParameterLines) {
    struct Case {
        std::string line;
        std::wstring read;
    } cases[] = {
        {"$DOLLAR$", L"$"},       {"$dollar$", L"$"},           {"$WILD_DOLLAR$", L"$"},
        {"$Wild_Dollar$", L"$"},  {"x$DOLLAR$", L"x$DOLLAR$"},  {"$DOLLAR$ ", L"$DOLLAR$ "},
        {"$NEWLINE$", L"$NEWLINE$"},
    };
    for (const auto& c : cases) {
        const Container read =
            ReadContainer(Example("{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}\r\n" + c.line + "\r\n"));
        EXPECT_EQ(read.Parameter(0, 1), c.read) << "parameter line: " << c.line;
    }
}

TEST(ContainerReader, ParameterLookup) {
    const Container c = ReadContainer(Example());
    // The GUID is found without regard to case.
    EXPECT_EQ(c.parameters.Parameter(L"{0f1e2d3c-4b5a-6978-8796-a5b4c3d2e1f0}", 1), L"Check prerequisites");
    // A command whose GUID does not occur reads every parameter as empty.
    EXPECT_EQ(c.Parameter(2, 1), L"");
    EXPECT_EQ(c.Parameter(3, 5), L"");
    // Past the end of the list, and parameter 0, are empty too.
    EXPECT_EQ(c.Parameter(1, 2), L"");
    EXPECT_EQ(c.Parameter(1, 0), L"");
    EXPECT_EQ(c.Parameter(99, 1), L"");
    // The line after a command's own lines belongs to the next command: the
    // lookup counts lines, as the command table fixes how many there are.
    EXPECT_EQ(c.Parameter(0, 2), L"{11111111-2222-3333-4444-555555555555}");
}

TEST(ContainerReader, OnlyUpperCaseCDisablesACommand) {
    const Container c = ReadContainer(Example(std::string(), "C\r\nc\r\nX\r\n\r\n"));
    EXPECT_TRUE(c.IsCommentedOut(0));
    EXPECT_FALSE(c.IsCommentedOut(1));
    EXPECT_FALSE(c.IsCommentedOut(2));
    EXPECT_FALSE(c.IsCommentedOut(3));
}

TEST(ContainerReader, AskLanguageOnlyForUpperCaseTrue) {
    for (const auto& [line, expected] : std::vector<std::pair<std::string, bool>>{
             {"TRUE", true}, {"true", false}, {"True", false}, {"-1", false}, {"", false}}) {
        std::string bytes = Example();
        bytes.replace(bytes.find("TRUE\r\nEnglish"), 4, line);
        EXPECT_EQ(ReadContainer(bytes).askLanguage, expected) << "item 20: \"" << line << "\"";
    }
}

TEST(ContainerReader, DataAfterTheLastItemIsIgnored) {
    std::string signature(600, '\0');
    signature += "\x30\x82\x05\x00 not a container line\r\n$\r\nmore";
    const Container c = ReadContainer(Example(std::string(), "C\r\n\r\n\r\n\r\n", signature));
    EXPECT_EQ(c.includes.size(), 4u);
    EXPECT_EQ(c.progressTotal, 123456789012);
}

TEST(ContainerReader, EarlyEndLeavesTheRestEmpty) {
    const std::string full = Example();
    // Cut after the title: items 7 onwards are empty or zero.
    const Container c = ReadContainer(full.substr(0, full.find("Sample Product\r\n") + 16));
    EXPECT_EQ(c.title, L"Sample Product");
    EXPECT_TRUE(c.pluginNames.empty());
    EXPECT_EQ(c.publisher, L"");
    EXPECT_EQ(c.mediaMode, 0);
    EXPECT_EQ(c.codePage, 0);
    EXPECT_FALSE(c.askLanguage);
    EXPECT_TRUE(c.includes.empty());
    // An empty file is an empty container.
    EXPECT_EQ(ReadContainer("").CommandCount(), 0u);
}

TEST(ContainerReader, BadNumberItemIsAnInputError) {
    for (const std::string bad : {"one", "1x", "0x10", "$10", "99999999999"}) {
        std::string bytes = Example();
        bytes.replace(bytes.find("\r\n1252\r\n") + 2, 4, bad);
        EXPECT_THROW(ReadContainer(bytes), ContainerError) << "code page line: " << bad;
    }
}

TEST(ContainerReader, NumberItemsReadLikeATextFile) {
    struct Case {
        std::string lines;
        std::int32_t value;
        std::wstring nextItem;  // item 25's first line, to show what the number consumed
    } cases[] = {
        {"1252\r\n", 1252, L"main.vms*0"},
        {"  -7 trailing words\r\n", -7, L"main.vms*0"},
        {"+42\r\n", 42, L"main.vms*0"},
        // An empty line is skipped: the number comes from the next line.
        {"\r\n\r\n850\r\n", 850, L"main.vms*0"},
    };
    for (const auto& c : cases) {
        std::string bytes = Example();
        bytes.replace(bytes.find("1252\r\n"), 6, c.lines);
        const Container read = ReadContainer(bytes);
        EXPECT_EQ(read.codePage, c.value) << "lines: " << c.lines;
        ASSERT_FALSE(read.sourcePositions.empty());
        EXPECT_EQ(read.sourcePositions[0], c.nextItem);
    }
}

TEST(ContainerReader, LineEnds) {
    // A lone LF or CR ends a line as CR LF does; UTF-8 decodes.
    std::string bytes = Example();
    bytes.replace(bytes.find("Comment\r\n"), 9, "Comment\n");
    bytes.replace(bytes.find("Sample Product\r\n"), 16, "Sample Produ\xC3\xA7t\r");
    const Container c = ReadContainer(bytes);
    EXPECT_EQ(c.commandNames[0], L"Comment");
    EXPECT_EQ(c.title, L"Sample Produ\u00E7t");
    EXPECT_EQ(c.pluginNames.size(), 0u);
}

TEST(ContainerReader, MissingTerminatorSwallowsTheFollowingItems) {
    // Item 27 loses its "$": it takes item 28's lines, and item 28 is empty.
    std::string bytes = Example();
    bytes.erase(bytes.rfind("$\r\n0*0"), 3);
    const Container c = ReadContainer(bytes);
    EXPECT_EQ(c.mediaHeaders, (std::vector<std::wstring>(4, L"0*0")));
    EXPECT_TRUE(c.includes.empty());
}

TEST(ContainerWriter, SplitAndJoinAreInverse) {
    for (const std::string& bytes : {Example(), "\xEF\xBB\xBF" + Example()}) {
        EXPECT_EQ(JoinItems(SplitItems(bytes)), bytes);
    }
}

// A minimal PE32 header block: "MZ", e_lfanew, "PE\0\0", a file header with
// the section count, then section headers 244 bytes after the file header.
std::string Headers(std::uint16_t optionalHeaderSize, std::vector<std::pair<std::uint32_t, std::uint32_t>> sections) {
    std::string h(0x80 + 4 + 20 + 224 + 40 * sections.size(), '\0');
    h[0] = 'M', h[1] = 'Z';
    h[0x3C] = 0x80;
    auto put32 = [&h](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) h[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    auto put16 = [&h](std::size_t at, std::uint16_t v) {
        h[at] = static_cast<char>(v & 0xFF);
        h[at + 1] = static_cast<char>(v >> 8);
    };
    put32(0x80, 0x00004550);
    put16(0x84 + 2, static_cast<std::uint16_t>(sections.size()));
    put16(0x84 + 16, optionalHeaderSize);
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t s = 0x84 + 244 + 40 * i;
        put32(s + 16, sections[i].second);  // raw size
        put32(s + 20, sections[i].first);   // raw pointer
    }
    return h;
}

TEST(ImageEnd, LargestEndOfRawSectionData) {
    EXPECT_EQ(ImageEnd(Headers(224, {{0x400, 0x1000}, {0x1400, 0x200}, {0x1600, 0}})), 0x1600u);
    // The table is found at the fixed place whatever size the header declares.
    EXPECT_EQ(ImageEnd(Headers(240, {{0x400, 0x1000}})), 0x1400u);
    // Unsigned, in 64 bits: no wrap-around.
    EXPECT_EQ(ImageEnd(Headers(224, {{0xFFFFFF00u, 0x200}})), 0x100000100ull);
    EXPECT_EQ(ImageEnd(Headers(224, {})), 0u);
}

TEST(ImageEnd, NotAnImage) {
    EXPECT_FALSE(ImageEnd(""));
    EXPECT_FALSE(ImageEnd("MZ"));
    std::string h = Headers(224, {{0x400, 0x10}});
    EXPECT_FALSE(ImageEnd(h.substr(0, h.size() - 17)));  // section table cut short
    h[0x80] = 'X';
    EXPECT_FALSE(ImageEnd(h));
    std::string far = Headers(224, {});
    far[0x3C] = '\xF0', far[0x3D] = '\xFF', far[0x3E] = '\xFF', far[0x3F] = '\xFF';
    EXPECT_FALSE(ImageEnd(far));
}

}  // namespace
}  // namespace velmora::container

#include "platform/xml_document.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using kelm::platform::XmlDocument;
using kelm::platform::XmlElement;
using kelm::platform::XmlLoadStatus;
namespace fs = std::filesystem;

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"GBK\"?>";

class XmlDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("kelm_xml_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string file(const std::string& name, const std::string& content)
    {
        const auto path = (dir / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string save(const XmlDocument& doc, const std::string& name = "c.xml")
    {
        return file(name, doc.serialize().value());
    }
    // A collector-shaped document: the root and one ticket with the given texts.
    static XmlDocument ticketDocument(const std::string& text)
    {
        XmlDocument doc;
        XmlElement root = doc.createElement("CallAccountingList");
        EXPECT_TRUE(doc.setAttribute(root, "subscriber", "all"));
        EXPECT_TRUE(doc.appendToDocument(root));
        XmlElement ticket = doc.createElement("CallAccounting");
        EXPECT_TRUE(doc.setAttribute(ticket, "subscriber", text));
        EXPECT_TRUE(doc.appendChild(root, ticket));
        XmlElement dir = doc.createElement("DirNumber");
        EXPECT_TRUE(doc.setText(dir, text));
        EXPECT_TRUE(doc.appendChild(ticket, dir));
        return doc;
    }

    fs::path dir;
};

std::string utf8(const std::string& latin1)
{
    std::string out;
    for (unsigned char c : latin1) {
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

TEST_F(XmlDocumentTest, NewDocumentIsTheGbkDeclarationAndTheEmptyRoot)
{
    XmlDocument doc;
    EXPECT_EQ(doc.serialize(), std::string(kDeclaration) + "\n");
    XmlElement root = doc.createElement("CallAccountingList");
    ASSERT_TRUE(doc.setAttribute(root, "subscriber", "all"));
    ASSERT_TRUE(doc.appendToDocument(root));
    EXPECT_EQ(doc.serialize(),
              std::string(kDeclaration) + "\n<CallAccountingList subscriber=\"all\"/>\n");
}

// Each text goes out in GBK and back in: through this layer for element text, through libxml2
// on its own for both element text and attribute.
TEST_F(XmlDocumentTest, LatinOneTextsSurviveTheGbkFileInTextAndAttribute)
{
    std::string everyByte = "\t\n\r";
    for (int b = 0x20; b <= 0xFF; ++b)
        everyByte.push_back(static_cast<char>(b));
    const struct {
        std::string text;
        std::string inFile; // a piece the GBK output must hold
    } cases[] = {
        {"\xE9", "\xA8\xA6"},                  // é is in GBK
        {"Ren\xE9 Mu\xF1oz", "Mu&#241;oz"},     // ñ is not: a character reference
        {"\xC0\xD7\xDF\xFF", "&#192;"},
        {"a<b>&c\"d'e &amp;", "&amp;amp;"},     // markup stays text
        {"\x80\x9F\xA0", "&#128;"},
        {everyByte, ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto bytes = ticketDocument(c.text).serialize().value();
        EXPECT_NE(bytes.find(c.inFile), std::string::npos);
        const auto path = file("c.xml", bytes);

        auto loaded = XmlDocument::load(path);
        ASSERT_EQ(loaded.status, XmlLoadStatus::Loaded);
        XmlElement ticket = loaded.document->selectFirst("//CallAccounting");
        EXPECT_EQ(loaded.document->childText(ticket, "DirNumber"), c.text);

        xmlDocPtr raw = xmlReadMemory(bytes.data(), static_cast<int>(bytes.size()), "c.xml",
                                      nullptr, XML_PARSE_NONET);
        ASSERT_NE(raw, nullptr);
        xmlNodePtr rawTicket = xmlDocGetRootElement(raw)->children;
        xmlChar* attribute = xmlGetProp(rawTicket, BAD_CAST "subscriber");
        xmlChar* text = xmlNodeGetContent(rawTicket->children);
        EXPECT_EQ(reinterpret_cast<const char*>(attribute), utf8(c.text));
        EXPECT_EQ(reinterpret_cast<const char*>(text), utf8(c.text));
        xmlFree(attribute);
        xmlFree(text);
        xmlFreeDoc(raw);
    }
}

// A raw control byte would make the whole collector file unreadable.
TEST_F(XmlDocumentTest, ControlCharactersXmlCannotHoldAreStoredAsQuestionMarks)
{
    const std::string text("a\x01" "b\x1F" "c\x00" "d\x7F", 8);
    EXPECT_EQ(XmlDocument::storedText(text), std::string("a?b?c?d\x7F"));
    auto loaded = XmlDocument::load(save(ticketDocument(text)));
    ASSERT_EQ(loaded.status, XmlLoadStatus::Loaded);
    EXPECT_EQ(loaded.document->childText(loaded.document->selectFirst("//CallAccounting"),
                                         "DirNumber"),
              XmlDocument::storedText(text));
}

TEST_F(XmlDocumentTest, LoadTellsMissingUnreadableTooLargeAndNotWellFormedApart)
{
    const std::string fifo = (dir / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string deep;
    for (int i = 0; i < 10000; ++i)
        deep += "<a>";
    const struct {
        std::string name;
        std::string path;
        XmlLoadStatus expected;
    } cases[] = {
        {"missing", (dir / "none.xml").string(), XmlLoadStatus::Missing},
        {"directory", dir.string(), XmlLoadStatus::Unreadable},
        {"fifo", fifo, XmlLoadStatus::Unreadable},
        {"empty", file("e.xml", ""), XmlLoadStatus::NotWellFormed},
        {"declaration only", file("d.xml", kDeclaration), XmlLoadStatus::NotWellFormed},
        {"unclosed", file("u.xml", "<CallAccountingList>"), XmlLoadStatus::NotWellFormed},
        {"binary", file("b.xml", std::string("\x00\xFF\xFE<\x01", 5)),
         XmlLoadStatus::NotWellFormed},
        {"bad GBK", file("g.xml", std::string(kDeclaration) + "<a>\x81\x20</a>"),
         XmlLoadStatus::NotWellFormed},
        {"undeclared entity", file("n.xml", "<a>&x;</a>"), XmlLoadStatus::NotWellFormed},
        {"external entity",
         file("x.xml", "<!DOCTYPE a [<!ENTITY x SYSTEM \"file:///etc/passwd\">]><a>&x;</a>"),
         XmlLoadStatus::NotWellFormed},
        {"entity expansion",
         file("l.xml", "<!DOCTYPE a [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;\">"
                       "<!ENTITY c \"&b;&b;&b;&b;&b;&b;\">]><a>&c;&c;&c;</a>"),
         XmlLoadStatus::NotWellFormed},
        {"external DTD", file("t.xml", "<!DOCTYPE a SYSTEM \"http://127.0.0.1:1/a.dtd\"><a/>"),
         XmlLoadStatus::NotWellFormed},
        {"deep nesting", file("p.xml", deep), XmlLoadStatus::NotWellFormed},
        {"well-formed", file("w.xml", "<CallAccountingList/>"), XmlLoadStatus::Loaded},
    };
    for (const auto& c : cases) {
        const auto result = XmlDocument::load(c.path);
        EXPECT_EQ(result.status, c.expected) << c.name;
        EXPECT_EQ(result.document.has_value(), c.expected == XmlLoadStatus::Loaded) << c.name;
    }
    EXPECT_EQ(XmlDocument::load(file("big.xml", "<a>0123456789</a>"), 16).status,
              XmlLoadStatus::TooLarge);
    EXPECT_EQ(XmlDocument::load(file("fits.xml", "<a>0123456789</a>"), 17).status,
              XmlLoadStatus::Loaded);
}

// What the collector does at start: count the tickets, find the last one, append after it.
TEST_F(XmlDocumentTest, LoadedFileIsCountedQueriedExtendedAndKeepsItsOtherContent)
{
    std::string content = std::string(kDeclaration) +
                          "<CallAccountingList subscriber=\"all\"><!-- kept --><Note>x</Note>";
    for (int i = 0; i < 36; ++i)
        content += "<CallAccounting subscriber=\"1\"><DirNumber>" + std::to_string(i) +
                   "</DirNumber></CallAccounting>";
    content += "<Group><CallAccounting><DirNumber>nested</DirNumber><initialDest/>"
               "</CallAccounting></Group></CallAccountingList>";
    auto loaded = XmlDocument::load(file("c.xml", content));
    ASSERT_EQ(loaded.status, XmlLoadStatus::Loaded);
    XmlDocument& doc = *loaded.document;
    EXPECT_EQ(doc.countElements("CallAccounting"), 37u);
    EXPECT_EQ(doc.countElements("callaccounting"), 0u);

    XmlElement last = doc.selectFirst("(//CallAccounting)[last()]");
    EXPECT_EQ(doc.childText(last, "DirNumber"), "nested");
    EXPECT_EQ(doc.childText(last, "initialDest"), "");
    EXPECT_EQ(doc.childText(last, "CorrNumber"), std::nullopt);
    EXPECT_FALSE(doc.selectFirst("//Missing"));
    EXPECT_FALSE(doc.selectFirst("//[broken"));

    XmlElement root = doc.selectFirst("//CallAccountingList");
    XmlElement ticket = doc.createElement("CallAccounting");
    ASSERT_TRUE(doc.appendChild(root, ticket));
    EXPECT_EQ(doc.countElements("CallAccounting"), 38u);
    const auto saved = doc.serialize().value();
    EXPECT_EQ(saved.rfind("<CallAccounting/></CallAccountingList>"),
              saved.size() - std::string("<CallAccounting/></CallAccountingList>\n").size());
    EXPECT_NE(saved.find("<!-- kept --><Note>x</Note>"), std::string::npos);
}

TEST_F(XmlDocumentTest, SetTextReplacesTheContent)
{
    XmlDocument doc;
    XmlElement root = doc.createElement("R");
    ASSERT_TRUE(doc.appendToDocument(root));
    XmlElement child = doc.createElement("C");
    ASSERT_TRUE(doc.appendChild(root, child));
    ASSERT_TRUE(doc.setText(child, "first"));
    ASSERT_TRUE(doc.setText(child, "second"));
    EXPECT_EQ(doc.childText(root, "C"), "second");
    ASSERT_TRUE(doc.setText(child, ""));
    EXPECT_EQ(doc.childText(root, "C"), "");
    EXPECT_NE(doc.serialize()->find("<R><C/></R>"), std::string::npos);
}

TEST_F(XmlDocumentTest, RemovedElementsLeaveTheDocumentAsBeforeTheyWereAppended)
{
    XmlDocument doc = ticketDocument("1");
    const std::string before = doc.serialize().value();
    XmlElement root = doc.selectFirst("//CallAccountingList");
    XmlElement added = doc.createElement("CallAccounting");
    ASSERT_TRUE(doc.appendChild(root, added));
    XmlElement child = doc.createElement("DirNumber");
    ASSERT_TRUE(doc.appendChild(added, child));
    XmlElement pending = doc.createElement("NeverAppended");

    EXPECT_TRUE(doc.removeElement(added));
    EXPECT_TRUE(doc.removeElement(pending));
    EXPECT_EQ(doc.serialize().value(), before);
    EXPECT_EQ(doc.countElements("CallAccounting"), 1u);
    EXPECT_FALSE(doc.removeElement(XmlElement()));
}

TEST_F(XmlDocumentTest, StepsThatWouldBreakTheTreeAreRefused)
{
    XmlDocument doc, other;
    for (const char* name : {"", "a b", "1x", "x>", "\xE9"})
        EXPECT_FALSE(doc.createElement(name)) << name;
    XmlElement root = doc.createElement("R");
    XmlElement a = doc.createElement("A");
    XmlElement b = doc.createElement("B");
    XmlElement foreign = other.createElement("F");
    EXPECT_FALSE(doc.setAttribute(root, "bad name", "v"));
    EXPECT_FALSE(doc.setText(foreign, "x"));
    EXPECT_FALSE(doc.appendChild(root, foreign));
    EXPECT_FALSE(doc.appendChild(root, XmlElement()));

    ASSERT_TRUE(doc.appendChild(a, b));
    EXPECT_FALSE(doc.appendChild(b, a));    // a cycle
    EXPECT_FALSE(doc.appendChild(root, b)); // already placed
    ASSERT_TRUE(doc.appendToDocument(root));
    EXPECT_FALSE(doc.appendToDocument(a)); // a second root
    EXPECT_FALSE(doc.appendChild(root, root));
    // a, b and foreign never reach a tree: freed with their documents (the sanitizer checks).
    EXPECT_EQ(doc.countElements("A"), 0u);
}

} // namespace

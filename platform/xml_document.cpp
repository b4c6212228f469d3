#include "platform/xml_document.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <fcntl.h>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xpath.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace kelm::platform {

namespace {

constexpr const char* kEncoding = "GBK";

void initLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

const xmlChar* xml(const std::string& s)
{
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

bool isAllowedControl(unsigned char byte)
{
    return byte == '\t' || byte == '\n' || byte == '\r';
}

std::string latin1ToUtf8(std::string_view latin1)
{
    std::string utf8;
    utf8.reserve(latin1.size() * 2);
    for (const char c : latin1) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && !isAllowedControl(byte)) {
            utf8.push_back('?');
        } else if (byte < 0x80) {
            utf8.push_back(c);
        } else {
            utf8.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            utf8.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return utf8;
}

// Characters beyond Latin-1 (from a file edited elsewhere) have no byte of their own: '?'.
std::string utf8ToLatin1(const xmlChar* utf8)
{
    std::string latin1;
    for (const xmlChar* p = utf8; *p != 0;) {
        int length = 4;
        const int code = xmlGetUTF8Char(p, &length);
        if (code < 0 || length <= 0) // libxml2 keeps its content valid; this is only a guard
            break;
        latin1.push_back(code <= 0xFF ? static_cast<char>(code) : '?');
        p += length;
    }
    return latin1;
}

bool isAsciiName(std::string_view name)
{
    if (name.empty() || std::any_of(name.begin(), name.end(),
                                    [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        return false;
    return xmlValidateName(xml(std::string(name)), 0) == 0;
}

std::string qualifiedName(const xmlNode* node)
{
    std::string name;
    if (node->ns != nullptr && node->ns->prefix != nullptr)
        name.append(reinterpret_cast<const char*>(node->ns->prefix)).append(":");
    return name.append(reinterpret_cast<const char*>(node->name));
}

// Document order, without recursion.
const xmlNode* nextInTree(const xmlNode* node, const xmlNode* top)
{
    if (node->children != nullptr && node->type == XML_ELEMENT_NODE)
        return node->children;
    while (node != top && node->next == nullptr)
        node = node->parent;
    return node == top ? nullptr : node->next;
}

// A collector file never has a document type declaration; refusing it keeps out external
// entities and entity expansion altogether.
void refuseDocumentType(void* context, const xmlChar*, const xmlChar*, const xmlChar*)
{
    xmlStopParser(static_cast<xmlParserCtxtPtr>(context));
}

void ignoreError(void*, xmlErrorPtr) {}

// libxml2 reports some errors (encoding, I/O) past the parser's own options, on this thread's
// error hook; the layer reports through its results instead, so a hostile file leaves no noise.
class QuietErrors {
public:
    QuietErrors() : handler_(xmlStructuredError), context_(xmlStructuredErrorContext)
    {
        xmlSetStructuredErrorFunc(nullptr, ignoreError);
    }
    ~QuietErrors() { xmlSetStructuredErrorFunc(context_, handler_); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

private:
    xmlStructuredErrorFunc handler_;
    void* context_;
};

enum class ReadResult { Ok, Missing, Unreadable, TooLarge };

ReadResult readRegularFile(const std::string& path, std::size_t maxBytes, std::string& content)
{
    // O_NONBLOCK: a FIFO or device under the name must not hold up the start.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st{};
    ReadResult result = ReadResult::Ok;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        result = ReadResult::Unreadable;
    else if (static_cast<std::uint64_t>(st.st_size) > maxBytes)
        result = ReadResult::TooLarge;
    char buffer[65536];
    while (result == ReadResult::Ok) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            result = ReadResult::Unreadable;
        else if (n == 0)
            break;
        else if (content.size() + static_cast<size_t>(n) > maxBytes) // grew since the fstat
            result = ReadResult::TooLarge;
        else
            content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return result;
}

xmlDocPtr parse(const std::string& content, const std::string& path)
{
    const QuietErrors quiet;
    xmlParserCtxtPtr context = xmlNewParserCtxt();
    if (context == nullptr)
        return nullptr;
    context->sax->internalSubset = refuseDocumentType;
    // No NOENT, DTDLOAD, XINCLUDE or HUGE: entities stay unexpanded and libxml2's size and
    // depth limits hold.
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    xmlDocPtr doc = xmlCtxtReadMemory(context, content.data(), static_cast<int>(content.size()),
                                      path.c_str(), nullptr, options);
    // A stopped parse can come back marked well-formed, holding what came before the stop.
    const bool refused = context->errNo == XML_ERR_USER_STOP || !context->wellFormed;
    xmlFreeParserCtxt(context);
    if (doc != nullptr && (refused || xmlDocGetRootElement(doc) == nullptr)) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    return doc;
}

} // namespace

XmlDocument::XmlDocument(_xmlDoc* doc) : doc_(doc) {}

XmlDocument::XmlDocument()
{
    initLibrary();
    doc_ = xmlNewDoc(BAD_CAST "1.0");
    if (doc_ != nullptr)
        doc_->encoding = xmlStrdup(BAD_CAST kEncoding);
}

XmlLoadResult XmlDocument::load(const std::string& path, std::size_t maxBytes)
{
    initLibrary();
    std::string content;
    switch (readRegularFile(path, std::min<std::size_t>(maxBytes, INT_MAX), content)) {
    case ReadResult::Ok:
        break;
    case ReadResult::Missing:
        return {XmlLoadStatus::Missing, std::nullopt};
    case ReadResult::Unreadable:
        return {XmlLoadStatus::Unreadable, std::nullopt};
    case ReadResult::TooLarge:
        return {XmlLoadStatus::TooLarge, std::nullopt};
    }
    xmlDocPtr doc = parse(content, path);
    if (doc == nullptr)
        return {XmlLoadStatus::NotWellFormed, std::nullopt};
    return {XmlLoadStatus::Loaded, XmlDocument(doc)};
}

XmlDocument::XmlDocument(XmlDocument&& other) noexcept
    : doc_(std::exchange(other.doc_, nullptr)), detached_(std::move(other.detached_))
{
    other.detached_.clear();
}

XmlDocument& XmlDocument::operator=(XmlDocument&& other) noexcept
{
    if (this != &other) {
        release();
        doc_ = std::exchange(other.doc_, nullptr);
        detached_ = std::move(other.detached_);
        other.detached_.clear();
    }
    return *this;
}

XmlDocument::~XmlDocument()
{
    release();
}

void XmlDocument::release()
{
    for (xmlNodePtr node : detached_)
        xmlFreeNode(node);
    detached_.clear();
    if (doc_ != nullptr)
        xmlFreeDoc(doc_);
    doc_ = nullptr;
}

bool XmlDocument::owns(XmlElement element) const
{
    return doc_ != nullptr && element.node_ != nullptr && element.node_->doc == doc_ &&
           element.node_->type == XML_ELEMENT_NODE;
}

XmlElement XmlDocument::createElement(std::string_view name)
{
    if (doc_ == nullptr || !isAsciiName(name))
        return {};
    xmlNodePtr node = xmlNewDocNode(doc_, nullptr, xml(std::string(name)), nullptr);
    if (node == nullptr)
        return {};
    detached_.push_back(node);
    return XmlElement(node);
}

bool XmlDocument::setAttribute(XmlElement element, std::string_view name,
                               std::string_view latin1Value)
{
    if (!owns(element) || !isAsciiName(name))
        return false;
    // The value is stored as text: markup characters are escaped on output, not parsed here.
    return xmlSetProp(element.node_, xml(std::string(name)), xml(latin1ToUtf8(latin1Value))) !=
           nullptr;
}

bool XmlDocument::setText(XmlElement element, std::string_view latin1Text)
{
    if (!owns(element))
        return false;
    // Not xmlNodeSetContent: it would read "&..." in the text as entity references.
    while (element.node_->children != nullptr) {
        xmlNodePtr child = element.node_->children;
        xmlUnlinkNode(child);
        xmlFreeNode(child);
    }
    if (latin1Text.empty())
        return true;
    xmlNodePtr text = xmlNewDocText(doc_, xml(latin1ToUtf8(latin1Text)));
    return text != nullptr && xmlAddChild(element.node_, text) != nullptr;
}

bool XmlDocument::appendChild(XmlElement parent, XmlElement child)
{
    const auto pending = std::find(detached_.begin(), detached_.end(), child.node_);
    if (!owns(parent) || !owns(child) || pending == detached_.end())
        return false;
    for (const xmlNode* up = parent.node_; up != nullptr; up = up->parent) {
        if (up == child.node_)
            return false; // would make a cycle
    }
    if (xmlAddChild(parent.node_, child.node_) == nullptr)
        return false;
    detached_.erase(pending);
    return true;
}

bool XmlDocument::appendToDocument(XmlElement child)
{
    const auto pending = std::find(detached_.begin(), detached_.end(), child.node_);
    if (!owns(child) || pending == detached_.end() || xmlDocGetRootElement(doc_) != nullptr)
        return false;
    xmlDocSetRootElement(doc_, child.node_);
    detached_.erase(pending);
    return true;
}

bool XmlDocument::removeElement(XmlElement element)
{
    if (!owns(element))
        return false;
    const auto pending = std::find(detached_.begin(), detached_.end(), element.node_);
    if (pending != detached_.end())
        detached_.erase(pending);
    xmlUnlinkNode(element.node_);
    xmlFreeNode(element.node_);
    return true;
}

XmlElement XmlDocument::selectFirst(std::string_view xpath) const
{
    if (doc_ == nullptr)
        return {};
    xmlXPathContextPtr context = xmlXPathNewContext(doc_);
    if (context == nullptr)
        return {};
    context->error = ignoreError;
    XmlElement found;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(xml(std::string(xpath)), context);
    if (result != nullptr && result->type == XPATH_NODESET && result->nodesetval != nullptr) {
        const xmlNodeSet* set = result->nodesetval;
        for (int i = 0; i < set->nodeNr && !found; ++i) {
            if (set->nodeTab[i]->type == XML_ELEMENT_NODE)
                found = XmlElement(set->nodeTab[i]);
        }
    }
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(context);
    return found;
}

std::size_t XmlDocument::countElements(std::string_view tagName) const
{
    const xmlNode* root = doc_ == nullptr ? nullptr : xmlDocGetRootElement(doc_);
    std::size_t count = 0;
    for (const xmlNode* node = root; node != nullptr; node = nextInTree(node, root)) {
        if (node->type == XML_ELEMENT_NODE && qualifiedName(node) == tagName)
            ++count;
    }
    return count;
}

std::optional<std::string> XmlDocument::childText(XmlElement element,
                                                  std::string_view childName) const
{
    if (!owns(element))
        return std::nullopt;
    for (xmlNodePtr child = element.node_->children; child != nullptr; child = child->next) {
        if (child->type != XML_ELEMENT_NODE || qualifiedName(child) != childName)
            continue;
        xmlChar* content = xmlNodeGetContent(child);
        if (content == nullptr)
            return std::string();
        std::string text = utf8ToLatin1(content);
        xmlFree(content);
        return text;
    }
    return std::nullopt;
}

std::optional<std::string> XmlDocument::serialize() const
{
    if (doc_ == nullptr)
        return std::nullopt;
    xmlChar* bytes = nullptr;
    int size = 0;
    const QuietErrors quiet;
    // Characters the encoder cannot map become character references.
    xmlDocDumpFormatMemoryEnc(doc_, &bytes, &size, kEncoding, 0);
    if (bytes == nullptr)
        return std::nullopt;
    std::string out(reinterpret_cast<const char*>(bytes), static_cast<size_t>(size));
    xmlFree(bytes);
    return out;
}

std::string XmlDocument::storedText(std::string_view latin1)
{
    std::string stored(latin1);
    for (char& c : stored) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && !isAllowedControl(byte))
            c = '?';
    }
    return stored;
}

} // namespace kelm::platform

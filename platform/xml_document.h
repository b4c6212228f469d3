#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct _xmlDoc;
struct _xmlNode;

namespace kelm::platform {

// The collector file's DOM over libxml2, holding only what the collector does with it. Texts
// cross this interface as Latin-1 bytes (one byte per character, as the PBX sends them), live in
// the DOM as UTF-8 and are written in GBK, a character GBK lacks as a character reference, so
// every text reads back as it went in.

// An element of one XmlDocument, valid while that document lives; empty after a failed step.
class XmlElement {
public:
    XmlElement() = default;
    explicit operator bool() const { return node_ != nullptr; }

private:
    friend class XmlDocument;
    explicit XmlElement(_xmlNode* node) : node_(node) {}
    _xmlNode* node_ = nullptr;
};

enum class XmlLoadStatus {
    Loaded,
    Missing,       // no such file
    Unreadable,    // exists, but cannot be read as a regular file
    TooLarge,      // more than the size limit of the load
    NotWellFormed, // not a well-formed document, or one with a document type declaration
};

struct XmlLoadResult;

class XmlDocument {
public:
    static constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

    // A new document: the declaration version 1.0, encoding GBK, and nothing else.
    XmlDocument();
    // Reads and parses a file without network access, entities or DTDs, never waiting on
    // anything but a regular file, never holding more than maxBytes of it.
    static XmlLoadResult load(const std::string& path, std::size_t maxBytes = kMaxFileBytes);

    XmlDocument(XmlDocument&& other) noexcept;
    XmlDocument& operator=(XmlDocument&& other) noexcept;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;
    ~XmlDocument();

    // A new element outside the tree until it is appended. Names are plain ASCII XML names.
    XmlElement createElement(std::string_view name);
    bool setAttribute(XmlElement element, std::string_view name, std::string_view latin1Value);
    // Replaces the element's content by the text; an empty text leaves the element empty.
    bool setText(XmlElement element, std::string_view latin1Text);
    // Appends a created element that is not yet in the tree as the parent's last child.
    bool appendChild(XmlElement parent, XmlElement child);
    // Appends a created element to the document itself: its root. Refused when there is one.
    bool appendToDocument(XmlElement child);
    // Takes an element and its content out of the document and frees it; the handle, and every
    // handle of its content, is invalid afterwards. Lets a caller undo what it appended.
    bool removeElement(XmlElement element);

    // The first element the XPath expression selects, in document order.
    XmlElement selectFirst(std::string_view xpath) const;
    // Elements of this name anywhere in the document.
    std::size_t countElements(std::string_view tagName) const;
    // The text of the element's first child element of that name, as Latin-1.
    std::optional<std::string> childText(XmlElement element, std::string_view childName) const;

    // The whole document, declaration first, encoded in GBK.
    std::optional<std::string> serialize() const;

    // What a Latin-1 text reads back as. XML cannot hold control characters other than tab,
    // line feed and carriage return; each such byte is stored as '?', so that one odd text
    // never makes the whole file unreadable. Every other text is unchanged.
    static std::string storedText(std::string_view latin1);

private:
    explicit XmlDocument(_xmlDoc* doc);
    bool owns(XmlElement element) const;
    void release();

    _xmlDoc* doc_ = nullptr;
    std::vector<_xmlNode*> detached_; // created, not yet appended: freed with the document
};

struct XmlLoadResult {
    XmlLoadStatus status;
    std::optional<XmlDocument> document; // only when Loaded
};

} // namespace kelm::platform

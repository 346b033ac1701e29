#include "definition.hpp"

// clang-format off
#include <windows.h>
// clang-format on

#include <cwctype>

namespace tw::standin {
namespace {

// ---- a small XML reader: elements, attributes, text, character and entity references,
// CDATA; comments, processing instructions and a document type declaration are skipped ----

struct Element {
    std::wstring name;
    std::vector<std::pair<std::wstring, std::wstring>> attributes;
    std::vector<std::unique_ptr<Element>> children;
    std::wstring text;  // the text of the element and all its descendants, in document order

    const std::wstring* Attribute(const wchar_t* key) const {
        for (const auto& [k, v] : attributes) {
            if (k == key) return &v;
        }
        return nullptr;
    }
    std::wstring AttributeOr(const wchar_t* key, const wchar_t* other) const {
        const std::wstring* v = Attribute(key);
        if (v != nullptr && !v->empty()) return *v;
        const std::wstring* o = Attribute(other);
        return o != nullptr ? *o : std::wstring();
    }
};

std::wstring FromUtf8(const std::string& bytes) {
    std::size_t start = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    if (bytes.size() <= start) return {};
    const int size = static_cast<int>(bytes.size() - start);
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, size, nullptr, 0);
    if (n <= 0) throw DefinitionError(L"the file is not UTF-8.");
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data() + start, size, out.data(), n);
    return out;
}

class XmlReader {
  public:
    explicit XmlReader(std::wstring text) {
        // Line ends as XML gives them to applications: CR LF and lone CR become LF.
        m_text.reserve(text.size());
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == L'\r') {
                m_text.push_back(L'\n');
                if (i + 1 < text.size() && text[i + 1] == L'\n') ++i;
            } else {
                m_text.push_back(text[i]);
            }
        }
    }

    std::unique_ptr<Element> Document() {
        if (m_text.find_first_not_of(L" \t\n") == std::wstring::npos)
            throw DefinitionError(L"the file is empty.");
        SkipMisc();
        if (!Peek(L"<")) Fail(L"no root element");
        auto root = ParseElement();
        SkipMisc();
        if (m_pos != m_text.size()) Fail(L"content after the root element");
        return root;
    }

  private:
    [[noreturn]] void Fail(const wchar_t* what) const {
        if (m_pos >= m_text.size()) throw DefinitionError(L"the XML ends early (is the file truncated?).");
        long line = 1;
        for (std::size_t i = 0; i < m_pos; ++i) line += m_text[i] == L'\n' ? 1 : 0;
        throw DefinitionError(L"the XML is malformed at line " + std::to_wstring(line) + L": " + what + L".");
    }
    bool Peek(const wchar_t* s) const { return m_text.compare(m_pos, wcslen(s), s) == 0; }
    void Expect(const wchar_t* s) {
        if (!Peek(s)) Fail(L"unexpected character");
        m_pos += wcslen(s);
    }
    void SkipTo(const wchar_t* end) {
        const std::size_t at = m_text.find(end, m_pos);
        if (at == std::wstring::npos) {
            m_pos = m_text.size();
            Fail(L"unterminated markup");
        }
        m_pos = at + wcslen(end);
    }
    void SkipSpace() {
        while (m_pos < m_text.size() &&
               (m_text[m_pos] == L' ' || m_text[m_pos] == L'\t' || m_text[m_pos] == L'\n'))
            ++m_pos;
    }
    // Comments, processing instructions, the declaration and a document type before or after the root.
    void SkipMisc() {
        for (;;) {
            SkipSpace();
            if (Peek(L"<?")) {
                SkipTo(L"?>");
            } else if (Peek(L"<!--")) {
                SkipTo(L"-->");
            } else if (Peek(L"<!DOCTYPE")) {
                const std::size_t subset = m_text.find(L'[', m_pos), close = m_text.find(L'>', m_pos);
                if (subset != std::wstring::npos && subset < close) {
                    m_pos = subset;
                    SkipTo(L"]");
                }
                SkipTo(L">");
            } else {
                return;
            }
        }
    }
    static bool NameChar(wchar_t c) {
        return std::iswalnum(static_cast<wint_t>(c)) || c == L'_' || c == L':' || c == L'-' || c == L'.' ||
               c > 0x7F;
    }
    std::wstring Name() {
        const std::size_t start = m_pos;
        while (m_pos < m_text.size() && NameChar(m_text[m_pos])) ++m_pos;
        if (m_pos == start) Fail(L"a name was expected");
        std::wstring name = m_text.substr(start, m_pos - start);
        // Elements are told apart by their local names.
        const std::size_t colon = name.rfind(L':');
        return colon == std::wstring::npos ? name : name.substr(colon + 1);
    }
    // A reference after '&'; appends what it stands for.
    void Reference(std::wstring& out) {
        const std::size_t end = m_text.find(L';', m_pos);
        if (end == std::wstring::npos || end - m_pos > 10) Fail(L"a bad reference");
        const std::wstring ref = m_text.substr(m_pos, end - m_pos);
        m_pos = end + 1;
        if (ref == L"lt") return out.push_back(L'<');
        if (ref == L"gt") return out.push_back(L'>');
        if (ref == L"amp") return out.push_back(L'&');
        if (ref == L"quot") return out.push_back(L'"');
        if (ref == L"apos") return out.push_back(L'\'');
        if (ref.size() < 2 || ref[0] != L'#') Fail(L"an unknown entity");
        const bool hex = ref[1] == L'x';
        wchar_t* stop = nullptr;
        const unsigned long code = std::wcstoul(ref.c_str() + (hex ? 2 : 1), &stop, hex ? 16 : 10);
        if (stop == nullptr || *stop != L'\0' || code == 0 || code > 0x10FFFF)
            Fail(L"a bad character reference");
        if (code > 0xFFFF) {
            out.push_back(static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(code));
        }
    }
    std::wstring AttributeValue() {
        const wchar_t quote = m_pos < m_text.size() ? m_text[m_pos] : L'\0';
        if (quote != L'"' && quote != L'\'') Fail(L"a quoted attribute value was expected");
        ++m_pos;
        std::wstring value;
        while (m_pos < m_text.size() && m_text[m_pos] != quote) {
            const wchar_t c = m_text[m_pos++];
            if (c == L'<') Fail(L"'<' in an attribute value");
            if (c == L'&') {
                Reference(value);
            } else {
                value.push_back(c == L'\t' || c == L'\n' ? L' ' : c);  // white space normalised, as XML does
            }
        }
        if (m_pos >= m_text.size()) Fail(L"unterminated attribute value");
        ++m_pos;
        return value;
    }
    std::unique_ptr<Element> ParseElement() {
        if (++m_depth > 200) Fail(L"elements nested too deeply");
        auto element = std::make_unique<Element>();
        Expect(L"<");
        element->name = Name();
        for (;;) {
            SkipSpace();
            if (Peek(L"/>")) {
                m_pos += 2;
                --m_depth;
                return element;
            }
            if (Peek(L">")) {
                ++m_pos;
                break;
            }
            std::wstring key = Name();
            SkipSpace();
            Expect(L"=");
            SkipSpace();
            element->attributes.emplace_back(std::move(key), AttributeValue());
        }
        for (;;) {
            if (m_pos >= m_text.size()) Fail(L"unterminated element");
            if (Peek(L"</")) {
                m_pos += 2;
                if (Name() != element->name) Fail(L"mismatched end tag");
                SkipSpace();
                Expect(L">");
                --m_depth;
                return element;
            }
            if (Peek(L"<!--")) {
                SkipTo(L"-->");
            } else if (Peek(L"<![CDATA[")) {
                m_pos += 9;
                const std::size_t end = m_text.find(L"]]>", m_pos);
                if (end == std::wstring::npos) {
                    m_pos = m_text.size();
                    Fail(L"unterminated CDATA");
                }
                element->text += m_text.substr(m_pos, end - m_pos);
                m_pos = end + 3;
            } else if (Peek(L"<?")) {
                SkipTo(L"?>");
            } else if (Peek(L"<")) {
                auto child = ParseElement();
                element->text += child->text;
                element->children.push_back(std::move(child));
            } else {
                const wchar_t c = m_text[m_pos++];
                if (c == L'&') {
                    Reference(element->text);
                } else {
                    element->text.push_back(c);
                }
            }
        }
    }

    std::wstring m_text;
    std::size_t m_pos = 0;
    int m_depth = 0;
};

// ---- the engine objects in a definition --------------------------------------------------------

int KindFromName(const std::wstring& name) {
    static const struct {
        const wchar_t* name;
        int kind;
    } kKinds[] = {{L"FieldObject", 1},     {L"TextObject", 2},      {L"LineObject", 3},
                  {L"BoxObject", 4},       {L"SubreportObject", 5}, {L"OleObject", 6},
                  {L"GraphObject", 7},     {L"ChartObject", 7},     {L"CrossTabObject", 8},
                  {L"BlobFieldObject", 9}, {L"PictureObject", 9},   {L"MapObject", 10},
                  {L"OlapGridObject", 11}};
    for (const auto& k : kKinds) {
        if (name == k.name) return k.kind;
    }
    return 0;
}

// The engine hands formula text over with CR LF line ends.
std::wstring WithCrLf(const std::wstring& text) {
    std::wstring out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'\n' && (i == 0 || text[i - 1] != L'\r')) out.push_back(L'\r');
        out.push_back(text[i]);
    }
    return out;
}

template <class F>
void ForEach(const Element& parent, const wchar_t* name, F f) {
    for (const auto& child : parent.children) {
        if (child->name == name) f(*child);
    }
}

void ReadReport(const Element& element, ReportData& report, bool isMain) {
    report.name = element.AttributeOr(L"Name", L"");
    for (const auto& part : element.children) {
        if (part->name == L"SubReports" && isMain) {
            ForEach(*part, L"Report", [&](const Element& sub) {
                auto subreport = std::make_shared<ReportData>();
                ReadReport(sub, *subreport, false);
                report.subreports.push_back(std::move(subreport));
            });
        } else if (part->name == L"Database") {
            ForEach(*part, L"Tables", [&](const Element& tables) {
                ForEach(tables, L"Table", [&](const Element& t) {
                    TableData table;
                    table.name = t.AttributeOr(L"Alias", L"Name");
                    ForEach(t, L"Fields", [&](const Element& fields) {
                        ForEach(fields, L"Field", [&](const Element& f) {
                            table.fields.push_back(f.AttributeOr(L"FormulaForm", L"Name"));
                        });
                    });
                    report.tables.push_back(std::move(table));
                });
            });
        } else if (part->name == L"DataDefinition") {
            ForEach(*part, L"FormulaFieldDefinitions", [&](const Element& formulas) {
                ForEach(formulas, L"FormulaFieldDefinition", [&](const Element& f) {
                    FormulaData formula;
                    formula.name = f.AttributeOr(L"FormulaName", L"");
                    if (formula.name.empty()) formula.name = L"{@" + f.AttributeOr(L"Name", L"") + L"}";
                    formula.text = WithCrLf(f.text);
                    report.formulas.push_back(std::move(formula));
                });
            });
        } else if (part->name == L"ReportDefinition") {
            ForEach(*part, L"Areas", [&](const Element& areas) {
                ForEach(areas, L"Area", [&](const Element& area) {
                    ForEach(area, L"Sections", [&](const Element& sections) {
                        ForEach(sections, L"Section", [&](const Element& s) {
                            SectionData section;
                            ForEach(s, L"ReportObjects", [&](const Element& objects) {
                                if (const std::wstring* count = objects.Attribute(L"Count"))
                                    section.claimedCount = std::wcstol(count->c_str(), nullptr, 10);
                                for (const auto& o : objects.children) {
                                    ObjectData object;
                                    const std::wstring* kind = o->Attribute(L"Kind");
                                    object.kind =
                                        KindFromName(kind != nullptr && !kind->empty() ? *kind : o->name);
                                    if (const std::wstring* field = o->Attribute(L"DataSource")) {
                                        object.hasField = true;
                                        object.fieldName = *field;
                                    }
                                    if (const std::wstring* sub = o->Attribute(L"SubreportName")) {
                                        object.hasSubreportName = true;
                                        object.subreportName = *sub;
                                    }
                                    section.objects.push_back(std::move(object));
                                }
                            });
                            report.sections.push_back(std::move(section));
                        });
                    });
                });
            });
        }
    }
}

}  // namespace

std::shared_ptr<const ReportData> ReadDefinition(const std::string& utf8) {
    XmlReader reader(FromUtf8(utf8));
    const auto root = reader.Document();
    if (root->name != L"Report")
        throw DefinitionError(L"it is XML, but not a report definition (its first element is <" + root->name +
                              L">).");
    auto report = std::make_shared<ReportData>();
    ReadReport(*root, *report, true);
    if (report->sections.empty()) throw DefinitionError(L"the report has no sections.");
    return report;
}

}  // namespace tw::standin

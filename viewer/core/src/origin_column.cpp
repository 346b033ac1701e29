#include "tw/core/origin_column.hpp"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace tw::viewer {

size_t qHash(const LineOrigin& origin, size_t seed) noexcept {
    return ::qHash(origin.file, seed) ^ (size_t(origin.processId) * 0x9E3779B1u) ^ size_t(origin.threadId);
}

std::uint32_t OriginColumn::Intern(const LineOrigin& origin) {
    // Lines of one file mostly come in runs from the same process and thread; the loader
    // hands over the same file name, so the comparison rarely looks at the text.
    if (m_lastIndex != 0) {
        const LineOrigin& last = m_table[m_lastIndex - 1];
        if (last.processId == origin.processId && last.threadId == origin.threadId &&
            (last.file.constData() == origin.file.constData() || last.file == origin.file))
            return m_lastIndex;
    }
    auto it = m_lookup.constFind(origin);
    if (it != m_lookup.constEnd()) return m_lastIndex = it.value();
    m_table.push_back(origin);
    const auto index = std::uint32_t(m_table.size());
    m_lookup.insert(origin, index);
    m_sources.insert({origin.file, origin.processId});
    const QString name = QFileInfo(origin.file).fileName();
    auto named = m_pathOfName.constFind(name);
    if (named == m_pathOfName.constEnd())
        m_pathOfName.insert(name, origin.file);
    else if (named.value() != origin.file)
        m_sharedNames.insert(name);
    return m_lastIndex = index;
}

void OriginColumn::Push(std::size_t line, const LineOrigin* origin) {
    if (!origin) {
        if (!m_started) return;
        if (m_wide.empty())
            m_narrow.push_back(0);
        else
            m_wide.push_back(0);
        return;
    }
    const std::uint32_t index = Intern(*origin);
    if (!m_started) {
        m_started = true;
        m_narrow.assign(line, 0);  // the lines before had no origin
    }
    if (m_wide.empty() && index > 0xFFFF) {
        m_wide.assign(m_narrow.begin(), m_narrow.end());
        std::vector<std::uint16_t>().swap(m_narrow);
    }
    if (m_wide.empty())
        m_narrow.push_back(std::uint16_t(index));
    else
        m_wide.push_back(index);
}

const LineOrigin* OriginColumn::At(std::size_t line) const {
    if (line >= Size()) return nullptr;
    const std::uint32_t index = m_wide.empty() ? m_narrow[line] : m_wide[line];
    return index ? &m_table[index - 1] : nullptr;
}

void OriginColumn::Erase(std::size_t first, std::size_t last) {
    auto cut = [&](auto& column) {
        const std::size_t end = std::min(last, column.size());
        if (first < end)
            column.erase(column.begin() + std::ptrdiff_t(first), column.begin() + std::ptrdiff_t(end));
    };
    cut(m_narrow);
    cut(m_wide);
}

void OriginColumn::Clear() { *this = OriginColumn(); }

std::size_t OriginColumn::Bytes() const {
    return m_narrow.capacity() * sizeof(std::uint16_t) + m_wide.capacity() * sizeof(std::uint32_t) +
           m_table.size() * sizeof(LineOrigin);
}

QString OriginColumn::SourceText(const LineOrigin& origin) const {
    const QString name = QFileInfo(origin.file).fileName();
    QString text = m_sharedNames.contains(name) ? QDir::toNativeSeparators(origin.file) : name;
    if (origin.processId != 0) text += QStringLiteral(" (%1)").arg(origin.processId);
    return text;
}

QStringList OriginColumn::SourceTexts() const {
    QStringList texts;
    for (const auto& [file, processId] : m_sources) texts << SourceText(LineOrigin{file, processId});
    return texts;
}

}  // namespace tw::viewer

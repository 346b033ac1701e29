#include "tw/display/filter.hpp"

#include "tw/common/common.hpp"
#include "tw/core/trace_pages.hpp"
#include "tw/display/find.hpp"
#include "tw/display/numeric_text.hpp"

#include <algorithm>

namespace tw::viewer {

namespace {

const QString kFromField = QStringLiteral("From Record Number");
const QString kToField = QStringLiteral("To Record Number");

// A record-number box: an empty (or blank) text counts as 0.
std::optional<double> RecordValue(const QString& text) {
    if (TrimBlanks(text).isEmpty()) return 0.0;
    return NumericValue(text);
}

}  // namespace

QStringList Filter::Check(const QString& name, const QString& messageFilter, const QString& fromRecord,
                          const QString& toRecord, const std::vector<qint16>& messageTypes, bool filterCurrent) {
    ErrorList errors;
    const QString trimmedName = TrimBlanks(name);
    const QString trimmedFilter = TrimBlanks(messageFilter);

    // Each group runs only when every earlier group passed.
    if (!filterCurrent && trimmedName.isEmpty())
        AddError(QStringLiteral("Filter Name"),
                 QStringLiteral("A new viewer tab requires a filter name for the description."), errors);
    const auto from = RecordValue(fromRecord);
    if (!from) AddError(kFromField, QStringLiteral("Must be a numeric value."), errors);
    const auto to = RecordValue(toRecord);
    if (!to) AddError(kToField, QStringLiteral("Must be a numeric value."), errors);
    if (!errors.isEmpty()) return errors;

    const QString notNegative = QStringLiteral("Must be a value greater than or equal to zero.");
    if (*from < 0) AddError(kFromField, notNegative, errors);
    if (*to < 0) AddError(kToField, notNegative, errors);
    if (!errors.isEmpty()) return errors;

    const QString notAbove = QStringLiteral("Must be a value less than or equal to %1").arg(kMaxFilterRecord);
    if (*from > kMaxFilterRecord) AddError(kFromField, notAbove, errors);
    if (*to > kMaxFilterRecord) AddError(kToField, notAbove, errors);
    if (!errors.isEmpty()) return errors;

    if (*from > *to)
        AddError(kToField, QStringLiteral("Must be a value greater than the From Record Number."), errors);
    if (!errors.isEmpty()) return errors;

    if (*from == 0 && *to == 0 && trimmedFilter.isEmpty() && messageTypes.empty())
        AddError(QString(), QStringLiteral("You must at least enter or select one Filter criteria."), errors);
    return errors;
}

bool Filter::Create(const QString& name, const QString& messageFilter, bool checkCase, const QString& fromRecord,
                    const QString& toRecord, const std::vector<qint16>& messageTypes, bool filterCurrent,
                    Colour colour) {
    const ErrorList errors = Check(name, messageFilter, fromRecord, toRecord, messageTypes, filterCurrent);
    if (!errors.isEmpty()) {
        ShowErrors(ProgramTitle(), &errors);
        return false;
    }
    m_filterName = TrimBlanks(name);
    m_messageFilter = TrimBlanks(messageFilter);
    m_checkCase = checkCase;
    m_fromRecord = RoundHalfEven(*RecordValue(fromRecord));
    m_toRecord = RoundHalfEven(*RecordValue(toRecord));
    m_messageTypes = messageTypes;
    m_filterCurrent = filterCurrent;
    m_filterColour = colour;
    return true;
}

QStringList Filter::Expressions() const {
    if (m_messageFilter.isEmpty()) return {};
    const qsizetype firstSeparator = m_messageFilter.indexOf(u';');
    if (firstSeparator <= 0) return {m_messageFilter};
    return m_messageFilter.split(u';');
}

int AddFilter(TracePages& pages, const Filter& filter) {
    TraceTree& source = pages.GetCurrent();
    TraceTree* target = nullptr;
    if (filter.FilterCurrent()) target = &pages.GetDefault();
    else if (pages.CanAdd()) target = pages.Add(filter.FilterName());
    if (!target) return -1;

    const double from = filter.FromRecord();
    const double to = filter.ToRecord();
    const bool anyRange = from != 0 || to != 0;
    const bool rangeUsable = from > 0 && to > 0;

    QStringList expressions = filter.Expressions();
    const bool caseMatters = filter.CheckCase();
    // An empty expression occurs in every message, so the text test always passes then.
    const bool textTest = !expressions.isEmpty() &&
                          std::none_of(expressions.begin(), expressions.end(), [](const QString& e) { return e.isEmpty(); });
    if (!caseMatters)
        for (QString& e : expressions) UpperCaseInPlace(e);

    const std::vector<qint16>& types = filter.MessageTypes();
    QString upper;
    upper.reserve(1024);

    int matched = 0;
    const int count = source.Count();
    for (int i = 1; i <= count; ++i) {
        const MessageSink& m = source.Message(i);
        if (anyRange) {
            const double record = m.RecordNumber();
            if (!rangeUsable || record < from || record > to) continue;
        }
        if (!types.empty() && std::none_of(types.begin(), types.end(), [&m](qint16 t) { return int(t) == m.MessageType(); }))
            continue;
        if (textTest) {
            upper.resize(0);
            m.AppendMessage(upper);
            if (!caseMatters) UpperCaseInPlace(upper);
            const QStringView text = upper;
            bool found = false;
            for (const QString& e : expressions) {
                if (text.indexOf(QStringView(e)) >= 0) {
                    found = true;
                    break;
                }
            }
            if (!found) continue;
        }
        ++matched;
        if (filter.FilterCurrent()) source.SetBackColour(i, filter.FilterColour());
        else target->AppendCopy(source, i);
    }
    return matched;
}

}  // namespace tw::viewer

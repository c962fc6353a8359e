#include "engine/unifieddiff.h"

#include "generators/genfunctions.h"

#include <QStringList>

#include <dtl/dtl.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines(const QString &text)
{
    std::vector<std::string> result;
    const QStringList split = text.split(QLatin1Char('\n'));
    result.reserve(size_t(split.size()));
    for (const QString &line : split)
        result.push_back(line.toStdString());
    // A final newline ends the last line rather than starting an empty one.
    if (text.endsWith(QLatin1Char('\n')))
        result.pop_back();
    return result;
}

// The old text with the new text's banner date, so that the date alone is no
// difference.
QString withDateOf(const QString &oldText, const QString &newText)
{
    const QString oldMasked = GenFunctions::withoutBannerDate(oldText);
    const QString newMasked = GenFunctions::withoutBannerDate(newText);
    if (oldMasked == oldText || newMasked == newText)
        return oldText;
    qsizetype date = 0;
    while (date < oldText.size() && oldText.at(date) == oldMasked.at(date))
        ++date;
    qsizetype newDate = 0;
    while (newDate < newText.size() && newText.at(newDate) == newMasked.at(newDate))
        ++newDate;
    if (date != newDate)
        return oldText;
    return QString(oldText).replace(date, 19, newText.mid(newDate, 19));
}

} // namespace

QString unifiedDiff(const QString &oldName, const QString &oldText, const QString &newName, const QString &newText)
{
    const QString aligned = withDateOf(oldText, newText);
    if (aligned == newText)
        return QString();
    dtl::Diff<std::string, std::vector<std::string>> diff(lines(aligned), lines(newText));
    diff.onHuge();
    diff.compose();
    diff.composeUnifiedHunks();
    std::ostringstream hunks;
    diff.printUnifiedFormat(hunks);
    QString text = QStringLiteral("--- %1\n+++ %2\n").arg(oldName, newName) + QString::fromStdString(hunks.str());
    if (diff.getUniHunks().empty()) {
        // Only the line ends differ (a last line without one, say).
        text += QStringLiteral("(the texts differ only in their line ends)\n");
    }
    return text;
}

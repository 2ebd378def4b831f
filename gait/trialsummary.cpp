#include "trialsummary.h"

#include "gait/gaitscores.h"
#include "gait/strides.h"
#include "gait/sway.h"
#include "model/csvwriter.h"

namespace {

// A row's cells for a part it lacks: as many empty cells as the part's header names.
QString emptyCells(const QString& header)
{
    return QString(header.count(QLatin1Char(',')), QLatin1Char(','));
}

} // namespace

QString TrialSummary::header()
{
    return Strides::summaryHeader() + QLatin1Char(',') + GaitScores::summaryHeader() +
           QLatin1Char(',') + Sway::summaryHeader();
}

QString TrialSummary::row(const QString& file, const Strides& strides, const GaitScores* scores,
                          const Sway* sway)
{
    return strides.summaryRow(file) + QLatin1Char(',') +
           (scores ? scores->summaryCells() : emptyCells(GaitScores::summaryHeader())) +
           QLatin1Char(',') + (sway ? sway->summaryCells() : emptyCells(Sway::summaryHeader()));
}

WriteResult TrialSummary::write(const QString& fileName, const QStringList& rows)
{
    CsvWriter writer(fileName);
    if (!writer.open())
        return writer.finish();
    writer.addText(header());
    writer.endLine();
    for (const QString& row : rows) {
        writer.addText(row);
        writer.endLine();
    }
    return writer.finish();
}

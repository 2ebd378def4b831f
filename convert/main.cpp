#include "convert/conversion.h"
#include "convert/convertoptions.h"
#include "version.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    ConvertOptions options;
    const QString error = options.parse(QCoreApplication::arguments().mid(1));
    if (!error.isEmpty()) {
        std::fprintf(stderr, "kinovane-convert: %s\n%s", qUtf8Printable(error),
                     qUtf8Printable(ConvertOptions::usage()));
        return int(ConvertExit::Usage);
    }
    if (options.help) {
        std::fputs(qUtf8Printable(ConvertOptions::usage()), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kinovane-convert %s\n", Version::number);
        return 0;
    }
    return int(options.isDataSet() ? runDataSet(options) : runConversion(options));
}

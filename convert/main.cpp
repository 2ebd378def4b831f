#include "convert/conversion.h"
#include "convert/convertoptions.h"
#include "version.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    ConvertOptions options;
    const QString error = options.parse(arguments);
    // A report draws text, for which Qt needs its Gui and a platform: the offscreen one, so
    // that no display is needed.
    std::unique_ptr<QCoreApplication> application;
    if (error.isEmpty() && !options.reportFile.isEmpty()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
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
    if (const QString problem = options.loadReference(); !problem.isEmpty()) {
        std::fprintf(stderr, "kinovane-convert: %s\n", qUtf8Printable(problem));
        return int(ConvertExit::Failed);
    }
    return int(options.isDataSet() ? runDataSet(options) : runConversion(options));
}

#pragma once

#include "model/framerange.h"
#include "model/rotationorder.h"

#include <QString>
#include <QStringList>

#include <optional>

// What one kinovane-convert call asks for, as parsed from its arguments.
struct ConvertOptions
{
    QString input;
    QString c3dFile;
    QString bvhFile;
    QString massCentreFile;
    QString rotationsFile;
    QString positionsFile;
    QStringList joints;              // empty: every joint
    std::optional<FrameRange> range; // none: every frame
    QString modelFile;               // empty: the default model
    RotationOrder rotationOrder = RotationOrder::Fixed;
    bool quiet = false;
    bool help = false;
    bool version = false;

    bool hasOutput() const;

    // Parses the arguments after the program name. Returns an empty string, or what is wrong
    // with them (a usage error).
    QString parse(const QStringList& arguments);

    static QString usage();
};

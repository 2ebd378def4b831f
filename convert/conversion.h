#pragma once

#include "convert/convertoptions.h"
#include "gait/gaitreference.h"

class SkeletonProfiles;

// Exit codes of kinovane-convert.
enum class ConvertExit
{
    Done = 0,
    Failed = 1, // an input or an output failed; every output that could be written was
    Usage = 2
};

// Reads the input once and writes every output the options ask for, through the same export
// functions as the window. Errors go to standard error, naming the file or option at fault.
ConvertExit runConversion(const ConvertOptions& options);
// The same with the profiles already loaded (and their warnings given).
ConvertExit runConversion(const ConvertOptions& options, const SkeletonProfiles& profiles);
// The same, its messages kept in `messages` instead of going to standard error, the row of the
// summary table put in `summaryRow` and the walk's share of a reference in `walk` when those
// are given (a data set writes one table and one reference).
ConvertExit runConversion(const ConvertOptions& options, const SkeletonProfiles& profiles,
                          QStringList* messages, QString* summaryRow = nullptr,
                          GaitReference::Walk* walk = nullptr);

// Converts each file of a data set (options.isDataSet()) on its own, options.jobs files at a
// time, with one progress bar over them all, and ends with a summary: a line for each file
// that failed, with its reasons, and the counts. Failed when any file failed or an argument
// named nothing.
ConvertExit runDataSet(const ConvertOptions& options);

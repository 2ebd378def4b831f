#pragma once

#include "convert/convertoptions.h"

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

#ifndef GRAPHCOMMONSETTINGS_H
#define GRAPHCOMMONSETTINGS_H

// Options of the whole chart window. The values before the first restore are those of the
// shipped defaults file.
struct GraphCommonSettings
{
    // Visible interval in seconds; the window shows the last 10 x dataPoints samples.
    int dataPoints = 60;
    // Refresh period of the chart window in milliseconds.
    int updateInterval = 100;
    // No samples are taken while the motor stands still.
    bool breakUpdateWhenStopped = false;
};

#endif // GRAPHCOMMONSETTINGS_H

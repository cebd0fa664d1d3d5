#ifndef GRAPHPAGETABLE_H
#define GRAPHPAGETABLE_H

#include <QStringList>

// The twenty curve pages in the order the settings dialog builds them under "Graph setup".
struct GraphPageRow
{
    const char* treeLabel;   // translated by the dialog
    const char* title;       // shown as it is
    const char* group;       // the page's group in configuration and profile files
    int slot;                // index into GraphSettings::curves
};

extern const GraphPageRow graphPageRows[20];

// The groups of the curve pages, last page first.
QStringList graphPageGroupNames();

#endif // GRAPHPAGETABLE_H

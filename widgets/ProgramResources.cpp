#include "widgets/ProgramResources.h"

#include <QtGlobal>

void loadProgramResources()
{
    Q_INIT_RESOURCE(images);
}

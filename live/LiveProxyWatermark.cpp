#include "LiveProxy.h"

int LiveProxy::addWatermark(int)
{
    return 0;
}

void LiveProxy::hopWatermark()
{
}

void LiveProxy::onTimer()
{
}

void LiveProxy::attachFilterToCamera(int)
{
}

void LiveProxy::detachFilterFrom(int)
{
}

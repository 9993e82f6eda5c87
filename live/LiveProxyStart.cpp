#include "LiveProxy.h"

#include "DirectXQuestion.h"
#include "Logger.h"

bool LiveProxy::checkDirectX()
{
    LiveProxy *proxy = GetInstance();
    if (proxy->m_render && proxy->m_render->IsDirectX10Usable())
        return true;
    if (!proxy->m_render)
        Logger::instance()->write(Logger::LOG_FATAL, "no live engine: DirectX cannot be tested.");
    DirectXQuestion::ask();
    return false;
}

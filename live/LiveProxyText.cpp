#include "LiveProxy.h"

#include "Logger.h"

#include <QString>

namespace {

// "effectivetxt_": a picture's name has no further "_" after it.
constexpr size_t kEffectivePrefixLength = 13;

Logger *logger()
{
    return Logger::instance();
}

} // namespace

int LiveProxy::createTextItem(TextInfo *info)
{
    return info && m_scene ? m_scene->CreateTextItem(info, 1, 1) : -1;
}

void LiveProxy::setTextSettings(int id, TextInfo info)
{
    if (m_scene)
        m_scene->SetTextProperties(id, info);
}

void LiveProxy::getTextSettings(int id, TextInfo *info)
{
    if (m_scene && info)
        m_scene->GetTextProperties(id, info);
}

int LiveProxy::addText(TextInfo *info, int layer)
{
    logger()->write(Logger::LOG_INFO, "add text.");
    const int id = createTextItem(info);
    if (id > 0) {
        int z = 0;
        const std::string name = registerNewItem(id, "txt", layer, false, &z);
        logger()->write(Logger::LOG_INFO, "add txt %s success: id(%d) z(%d).", name.c_str(), id, z);
    }
    return id;
}

int LiveProxy::addEffectiveText(const std::string &picturePath, const QRect &area, TextInfo *info)
{
    EffectiveTxtItem pair(this);
    const int pictureId = pair.create(picturePath, area, info);
    if (pictureId > 0) {
        m_itemIds.push_back(pictureId);
        m_effectiveTexts.push_back(pair);
        logger()->write(Logger::LOG_INFO, "add effective txt success: id(%d) z(%d).", pictureId,
                        getItemZorder(pictureId));
    }
    return pictureId;
}

void LiveProxy::updateEffectiveText(int pictureId, TextInfo info)
{
    EffectiveTxtItem *pair = nullptr;
    if (findEffectiveText(pictureId, &pair))
        pair->updateText(&info);
}

bool LiveProxy::effectiveTextOp(int pictureId, std::string picturePath, const QRect &area)
{
    EffectiveTxtItem *pair = nullptr;
    if (findEffectiveText(pictureId, &pair))
        pair->setPictureProperty(picturePath, area);
    return true;
}

void LiveProxy::getEffectivePictureSource(int pictureId, std::string *path)
{
    EffectiveTxtItem *pair = nullptr;
    if (findEffectiveText(pictureId, &pair))
        pair->getPictureSource(path);
}

void LiveProxy::getEffectiveTextSettings(int pictureId, TextInfo *info)
{
    EffectiveTxtItem *pair = nullptr;
    if (findEffectiveText(pictureId, &pair))
        pair->getTextSettings(info);
}

bool LiveProxy::setEffectiveText(int id, const char *text)
{
    if (!text)
        return false;
    if (m_scene)
        m_scene->SetEffectiveText(id, QString::fromUtf8(text).toStdU16String().c_str());
    return true;
}

bool LiveProxy::getEffectiveText(int id, std::string *text)
{
    char16_t buffer[kEffectiveTextUnits] = {};
    int length = 0;
    if (!m_scene || !m_scene->GetEffectiveText(id, buffer, kEffectiveTextUnits, &length))
        return false;
    buffer[kEffectiveTextUnits - 1] = 0;
    if (text)
        *text = QString::fromUtf16(buffer).toUtf8().toStdString();
    return true;
}

void LiveProxy::restoreEffectiveTexts(const std::vector<std::string> &names)
{
    std::vector<bool> done(names.size(), false);
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string &name = names[i];
        if (done[i] || name.size() <= kEffectivePrefixLength ||
            name.find('_', kEffectivePrefixLength) != std::string::npos)
            continue;
        const int pictureId = m_store->Open(name.c_str());
        if (pictureId < 1)
            continue;
        const std::string textPrefix = name + "_";
        int textId = -1;
        size_t textIndex = 0;
        for (size_t j = 0; j < names.size(); ++j) {
            if (j != i && !done[j] && names[j].rfind(textPrefix, 0) == 0) {
                textId = m_store->Open(names[j].c_str());
                textIndex = j;
                break;
            }
        }
        if (textId <= 0)
            continue;
        EffectiveTxtItem pair(this);
        if (pair.restore(pictureId, textId) <= 0)
            continue;
        m_itemIds.push_back(pictureId);
        m_effectiveTexts.push_back(pair);
        logger()->write(Logger::LOG_INFO, "add effectivetxt item: %s, id: %d, z(%d).", name.c_str(), pictureId,
                        getItemZorder(pictureId));
        done[i] = true;
        done[textIndex] = true;
    }
    for (size_t i = 0; i < names.size(); ++i) {
        if (done[i])
            continue;
        m_store->Remove(names[i].c_str());
        logger()->write(Logger::LOG_INFO, "remove item: %s because detect effectivetxt fail.", names[i].c_str());
    }
}

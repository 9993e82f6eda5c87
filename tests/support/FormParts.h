#pragma once

// Checks of a Designer form as built: its parts by object name, their
// places and texts, and the order in which Tab visits them.

#include <QAbstractButton>
#include <QLabel>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

namespace testsupport {

// The form's child of that object name and class; warns when missing.
template <class T>
T *formPart(QWidget *form, const char *name)
{
    T *w = form->findChild<T *>(QLatin1String(name));
    if (!w)
        qWarning("missing part %s", name);
    return w;
}

struct FormPart
{
    const char *name;
    QRect geometry;
    QString text; // a label's or button's text
};

// The first part that is missing or differs in geometry or text, described;
// empty when all match.
inline QString formMismatch(QWidget *form, const QVector<FormPart> &parts)
{
    for (const FormPart &p : parts) {
        QWidget *w = form->findChild<QWidget *>(QLatin1String(p.name));
        if (!w)
            return QStringLiteral("%1 missing").arg(QLatin1String(p.name));
        if (w->geometry() != p.geometry)
            return QStringLiteral("%1 at %2,%3 %4x%5")
                .arg(QLatin1String(p.name))
                .arg(w->geometry().x())
                .arg(w->geometry().y())
                .arg(w->geometry().width())
                .arg(w->geometry().height());
        QString text = p.text;
        if (auto *label = qobject_cast<QLabel *>(w))
            text = label->text();
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            text = button->text();
        if (text != p.text)
            return QStringLiteral("%1 says \"%2\"").arg(QLatin1String(p.name), text);
    }
    return QString();
}

// The object names among `names`, in the order the focus chain visits them
// from `first`.
inline QStringList tabChain(QWidget *first, const QStringList &names)
{
    QStringList chain;
    QWidget *w = first;
    for (int guard = 0; w && guard < 1000 && chain.size() < names.size(); ++guard, w = w->nextInFocusChain())
        if (names.contains(w->objectName()) && !chain.contains(w->objectName()))
            chain << w->objectName();
    return chain;
}

} // namespace testsupport

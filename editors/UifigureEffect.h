#pragma once

#include "EffectItem.h"

#include <QList>
#include <QWidget>

class QPushButton;

namespace Ui {
class UifigureEffect;
}

// The paged filter effect picker of the camera page: four thumbnails a page
// in a 2 x 2 table, previous and next buttons and one dot per page. A click
// chooses an effect or, on the chosen one, takes the choice back; either way
// signal_setEffect tells the new id (-1 for none). GUI thread only.
class UifigureEffect : public QWidget
{
    Q_OBJECT

public:
    explicit UifigureEffect(QWidget *parent = nullptr);
    ~UifigureEffect() override;

    // Makes the effect with that id current without emitting; an id no
    // effect has changes nothing.
    void SetCurrentEffect(int id);

    int currentPage() const { return m_currentPage; }
    int pageCount() const { return m_pageCount; }
    // The chosen effect's index in the list, -1 when none.
    int currentPosition() const { return m_currentPosition; }
    const QList<EffectItem> &effects() const { return m_effects; }
    const QList<QPushButton *> &pageDots() const { return m_pageDots; }

    void ShowPage(int page);

signals:
    void signal_setEffect(int effect);

public slots:
    void on_effecttableclicked(int row, int col, bool bcheck);

private slots:
    void on_fontpushButton_clicked();
    void on_backpushButton_clicked();

private:
    void LoadEffects();
    void buildPageDots();
    void updatePageDots(int page);
    int indexOfEffect(int id) const;

    Ui::UifigureEffect *ui;
    QList<EffectItem> m_effects;
    QList<QPushButton *> m_pageDots;
    int m_pageCount = 0;
    int m_currentPage = -1;
    int m_effectCount = 0;
    int m_currentPosition = -1;
};

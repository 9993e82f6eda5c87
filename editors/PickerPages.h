#pragma once

// Paging of the picture pickers: `perPage` cells a page, filled row by row
// in rows of `columns` cells.
namespace pickerpages {

// Pages needed for `count` cells; 0 for none.
int pageCount(int count, int perPage);

// Rows that page `page` (from 1) shows; 0 outside the pages.
int rowsOnPage(int page, int count, int perPage, int columns);

// List index of a cell of page `page` (from 1).
inline int indexOf(int page, int row, int column, int perPage, int columns)
{
    return (page - 1) * perPage + row * columns + column;
}

} // namespace pickerpages

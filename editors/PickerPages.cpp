#include "PickerPages.h"

namespace pickerpages {

int pageCount(int count, int perPage)
{
    if (count <= 0 || perPage <= 0)
        return 0;
    return count / perPage + (count % perPage ? 1 : 0);
}

int rowsOnPage(int page, int count, int perPage, int columns)
{
    if (page < 1 || page > pageCount(count, perPage) || columns <= 0)
        return 0;
    if (page * perPage <= count)
        return perPage / columns;
    const int rest = count - (page - 1) * perPage;
    return rest / columns + (rest % columns ? 1 : 0);
}

} // namespace pickerpages

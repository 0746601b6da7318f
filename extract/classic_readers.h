#pragma once
// The classic readers: each platform's item page (and its description or mobile detail page) cut
// between the markers its classic layout carries. Each returns the item page as fetched, which says
// why the run found nothing where the buffer stays empty.

#include "extract/harvest_run.h"

namespace extraction {

FetchedPage CutTaobaoPage(Run& run, HarvestBuffer& out);
FetchedPage CutTmallPage(Run& run, HarvestBuffer& out);
FetchedPage CutJdPage(Run& run, HarvestBuffer& out);
FetchedPage CutAlibabaPage(Run& run, HarvestBuffer& out);

}  // namespace extraction

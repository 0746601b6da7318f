#pragma once
// The four platform buttons: each reads the link and cookie boxes, fetches the item's pages and
// adds what it cuts from them to the harvest shown in the window.

#include "extract/item_extractors.h"

void ExtractTaobaoItem();
void ExtractTmallItem();
void ExtractJdItem();
void ExtractAlibabaItem();

// The hosts the buttons use from now on (tests point them at loopback servers).
void UseEndpointHosts(const EndpointHosts& hosts);

// Called by the clear command: a running extraction publishes nothing more.
void NoteHarvestCleared();
// Whether an extraction is running (its button handler has not returned yet).
bool ExtractionRunning();

# The four platform extractors and the gate that keeps their runs apart.
pt_library(pt_extractors NEUTRAL SOURCES item_extractors.cpp extraction_gate.cpp
  LIBS pt_item_harvest pt_text_slicing)

pt_test(item_extractors_test NEUTRAL
  SOURCES tests/item_extractors_test.cpp tests/extractor_fixtures.cpp
  LIBS pt_extractors)

# Saved pages of the real sites, read from the shared folder beside the checkout when present.
pt_test(real_pages_test NEUTRAL
  SOURCES tests/real_pages_test.cpp tests/extractor_fixtures.cpp
  LIBS pt_extractors)

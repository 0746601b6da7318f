#pragma once
// Whether an answer can be the picture or the video that was asked for. Picture hosts answer a
// blocked, moved or rate-limited picture with a web page, and a network's login portal answers
// every address with one, often with status 200: such a body is no picture.

#include <string_view>

// A text type: text/..., and application/ json, xml, javascript and their "+json" and "+xml"
// kinds. Letter case, blanks and parameters after ";" do not matter.
bool IsTextContentType(std::string_view contentType);

// False for an empty body, a body of a text type, and one that begins (after blanks) with "<", "{"
// or "[" (markup or data); any other body may be a picture or a video, whatever its format.
bool CanBeMedia(std::string_view contentType, std::string_view body);

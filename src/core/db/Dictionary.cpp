#include "db/Dictionary.h"

const TDictionarySeed& DictionarySeed() {
    static const TDictionarySeed seed;
    return seed;
}

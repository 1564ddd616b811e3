// Preprocessed with the include directory of one floor: a header of that
// floor and of the floor below are found, a header of the floor above is not.
#if !__has_include(OWN_HEADER)
#error the floor does not see its own headers
#endif
#if !__has_include(LOWER_HEADER)
#error the floor does not see the floor below
#endif
#if __has_include(HIGHER_HEADER)
#error the floor sees a header of a higher floor
#endif

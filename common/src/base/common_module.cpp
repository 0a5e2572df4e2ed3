/*
 * Anchor of the common library: nothing but a version tag, so that the
 * library exists (and links) before its first concern is added.
 */
extern "C" const char tarvel_common_version[] = "tarvel-common 1";

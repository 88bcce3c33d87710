# Read by ctest after the discovered demo tests. Every start of scmdemo removes what
# dead runs of this account left behind, so the test that kills a run and shows
# that the next start removes the rest runs alone: another test's scmdemo starting
# in between would remove it first.
set_tests_properties("DemoTrustTest.KilledRunTakesItsProgramsAlongAndTheNextStartRemovesTheRest"
                     PROPERTIES RUN_SERIAL TRUE)

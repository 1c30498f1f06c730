from hypothesis import settings

# The first call into the extension may be slow (type objects are created on
# first use); a per-example deadline would make the property tests flaky.
settings.register_profile("tarvex", deadline=None)
settings.load_profile("tarvex")

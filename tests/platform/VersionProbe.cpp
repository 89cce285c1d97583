// A program whose only content is the version block the build gives it.
int main()
{
    return 0;
}
